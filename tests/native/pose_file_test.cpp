#include "output/pose_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "model/body_parts.h"
#include "tests/native/fake_platform.h"

namespace {

constexpr double pi = 3.141592653589793;

const std::string header = "{\n\nversion\n\t{\n\tnumber 6\n\t}\n\n";
const std::string diagnosticHead =
    "{\n"
    "Gestalyx ver1.0.0 DEMO\n"
    "2026/12/06 09:05:07\n"
    "name     ( x1  y1  z1) ( x2  y2  z2)   bend   side   roll     bend   side   roll\n";

std::string zeroRow(const std::string& name) {
    return name + std::string(9 - name.size(), ' ') +
           "(  0   0   0) (  0   0   0)    0.0    0.0    0.0      0.0    0.0    0.0\n";
}

// One key at frame 0, the frame number with two blanks on either side.
std::string channel(const char* name, const char* degrees) {
    return std::string("\t\t") + name + "\n\t\t\t{\n\t\t\tkeys\n\t\t\t\t{\n\t\t\t\tk  0  " + degrees +
           "\n\t\t\t\t}\n\t\t\t}\n";
}

// The file for hip alone, set up by writeHipFile. The channels come as Y, X,
// Z: roll, bend, side.
const std::string hipFile =
    header + "actor hip:1\n\t{\n\tchannels\n\t\t{\n" + channel("rotateY yrot", "45.000000") +
    channel("rotateX xrot", "90.000000") + channel("rotateZ zrot", "-12.500000") + "\t\t}\n\t}\n\n}\n" +
    diagnosticHead + "hip      (-64   5   0) ( 64  -1 127)   90.0    0.0 -135.0     90.0  -12.5   45.0\n" +
    zeroRow("chest") + zeroRow("head") + zeroRow("rShldr") + zeroRow("rForeArm") + zeroRow("lShldr") +
    zeroRow("lForeArm") + zeroRow("rThigh") + zeroRow("rShin") + zeroRow("lThigh") + zeroRow("lShin") + "}\n";

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> linesStartingWith(const std::string& text, const std::string& start) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (line.compare(0, start.size(), start) == 0) lines.push_back(line);
    return lines;
}

class PoseFile : public ::testing::Test {
protected:
    void SetUp() override {
        resetFakePlatform();
        writeFailed = 0;
        char pattern[] = "/tmp/pose_file_test.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory + "/Gestalyx.pz2";
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string writeHipFile() {
        BodyPart& hip = bodyPartTable[0];
        const std::int8_t sensor[6] = {-64, 5, 0, 64, -1, 127};
        std::copy(sensor, sensor + 6, hip.sensor);
        hip.absoluteAngles[0] = pi / 2, hip.absoluteAngles[2] = -3 * pi / 4;
        hip.jointAngles[0] = pi / 2, hip.jointAngles[1] = -12.5 * pi / 180, hip.jointAngles[2] = pi / 4;
        EXPECT_EQ(writePoseFile(path.c_str(), 1), 1);
        EXPECT_TRUE(fakePlatform.errorBoxes.empty());
        return readFile(path);
    }

    std::string directory, path;
};

TEST_F(PoseFile, WholeFileForOneSelectedPart) { EXPECT_EQ(writeHipFile(), hipFile); }

TEST_F(PoseFile, DecimalPointWhateverTheLocale) {
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if ((comma = std::setlocale(LC_NUMERIC, name)) != nullptr) break;
    if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    std::string text = writeHipFile();
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text, hipFile);
}

// Bit i selects row i in table order; bits 18 and up select nothing.
TEST_F(PoseFile, MaskSelectsActorBlocks) {
    const struct { std::uint32_t mask; std::vector<std::string> actors; } cases[] = {
        {0, {}}, {0x20000, {"actor lShin:1"}}, {0xFFFC0022, {"actor waist:1", "actor head:1"}}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.mask);
        ASSERT_EQ(writePoseFile(path.c_str(), test.mask), 1);
        EXPECT_EQ(linesStartingWith(readFile(path), "actor "), test.actors);
    }
}

// A node switched off by the settings file leaves the diagnostic block, but a
// selected part keeps its actor block, as every node-less part does.
TEST_F(PoseFile, SwitchedOffNodeLeftOutOfDiagnosticBlock) {
    bodyPartTable[3].flags |= NoNode;  // chest
    ASSERT_EQ(writePoseFile(path.c_str(), 0x3FFFF), 1);
    std::string text = readFile(path);
    EXPECT_EQ(linesStartingWith(text, "actor ").size(), 18u);
    std::istringstream diagnostic(text.substr(text.find(diagnosticHead) + diagnosticHead.size()));
    std::vector<std::string> names;
    for (std::string line; std::getline(diagnostic, line);) names.push_back(line.substr(0, line.find(' ')));
    EXPECT_EQ(names, (std::vector<std::string>{"hip", "head", "rShldr", "rForeArm", "lShldr", "lForeArm",
                                               "rThigh", "rShin", "lThigh", "lShin", "}"}));
}

TEST_F(PoseFile, FailuresShowTheirMessage) {
    EXPECT_EQ(writePoseFile(directory.c_str(), 0), 0);
    // Buffered output to a full device fails only when the file is closed.
    EXPECT_EQ(writePoseFile("/dev/full", 0), 0);
    EXPECT_EQ(poseFile, nullptr);
    EXPECT_EQ(fakePlatform.errorBoxes, (std::vector<std::string>{"一時ファイル (" + directory + ") を作成できません。",
                                                                 "一時ファイル (/dev/full) に書き込めません。"}));
}

// A write fails part way: the file keeps what reached the disk, and the later
// writes add no second message.
TEST_F(PoseFile, PartialFileStays) {
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int written = writePoseFile(path.c_str(), 0x3FFFF);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);

    EXPECT_EQ(written, 0);
    EXPECT_EQ(fakePlatform.errorBoxes.size(), 1u);
    std::string text = readFile(path);
    EXPECT_EQ(text.size(), 100u);
    EXPECT_EQ(text.substr(0, header.size() + 12), header + "actor hip:1\n");
}

}  // namespace
