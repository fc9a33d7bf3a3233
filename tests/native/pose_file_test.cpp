#include "output/pose_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

BodyPart& row(const char* name) {
    for (BodyPart& part : bodyPartTable)
        if (std::string(part.name) == name) return part;
    throw std::invalid_argument(name);
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
    void TearDown() override {
        std::filesystem::permissions(directory, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(directory);
    }
    std::string directory, path;
};

TEST_F(PoseFile, EmptySelectionGivesHeaderAndDiagnosticBlock) {
    BodyPart& hip = row("hip");
    hip.sensor[0] = -64, hip.sensor[1] = 5, hip.sensor[3] = 64, hip.sensor[4] = -1, hip.sensor[5] = 127;
    hip.absoluteAngles[0] = pi / 2, hip.absoluteAngles[2] = -pi / 4;
    hip.jointAngles[0] = pi / 6, hip.jointAngles[1] = -pi / 2, hip.jointAngles[2] = pi;
    BodyPart& foreArm = row("rForeArm");
    foreArm.sensor[0] = 1, foreArm.sensor[1] = -2, foreArm.sensor[2] = 3;
    foreArm.sensor[3] = -4, foreArm.sensor[4] = 5, foreArm.sensor[5] = -6;
    foreArm.jointAngles[0] = pi / 2;

    ASSERT_EQ(writePoseFile(path.c_str(), 0), 1);
    EXPECT_TRUE(fakePlatform.errorBoxes.empty());
    EXPECT_EQ(readFile(path),
              header + "}\n" + diagnosticHead +
                  "hip      (-64   5   0) ( 64  -1 127)   90.0    0.0  -45.0     30.0  -90.0  180.0\n" +
                  zeroRow("chest") + zeroRow("head") + zeroRow("rShldr") +
                  "rForeArm (  1  -2   3) ( -4   5  -6)    0.0    0.0    0.0     90.0    0.0    0.0\n" +
                  zeroRow("lShldr") + zeroRow("lForeArm") + zeroRow("rThigh") + zeroRow("rShin") +
                  zeroRow("lThigh") + zeroRow("lShin") + "}\n");
}

// The channels come as Y, X, Z: roll, bend, side.
TEST_F(PoseFile, ActorBlockLineByLine) {
    BodyPart& hip = row("hip");
    hip.jointAngles[0] = pi / 2;
    hip.jointAngles[1] = -12.5 * pi / 180;
    hip.jointAngles[2] = pi / 4;

    ASSERT_EQ(writePoseFile(path.c_str(), 1), 1);
    const std::string block =
        "actor hip:1\n"
        "\t{\n"
        "\tchannels\n"
        "\t\t{\n"
        "\t\trotateY yrot\n"
        "\t\t\t{\n"
        "\t\t\tkeys\n"
        "\t\t\t\t{\n"
        "\t\t\t\tk  0  45.000000\n"
        "\t\t\t\t}\n"
        "\t\t\t}\n"
        "\t\trotateX xrot\n"
        "\t\t\t{\n"
        "\t\t\tkeys\n"
        "\t\t\t\t{\n"
        "\t\t\t\tk  0  90.000000\n"
        "\t\t\t\t}\n"
        "\t\t\t}\n"
        "\t\trotateZ zrot\n"
        "\t\t\t{\n"
        "\t\t\tkeys\n"
        "\t\t\t\t{\n"
        "\t\t\t\tk  0  -12.500000\n"
        "\t\t\t\t}\n"
        "\t\t\t}\n"
        "\t\t}\n"
        "\t}\n"
        "\n";
    std::string text = readFile(path);
    EXPECT_EQ(text.substr(0, header.size() + block.size() + 2 + diagnosticHead.size()),
              header + block + "}\n" + diagnosticHead);
}

TEST_F(PoseFile, MaskSelectsActorBlocks) {
    const struct {
        std::uint32_t mask;
        std::vector<std::string> actors;
    } cases[] = {
        {0, {}},
        {1, {"actor hip:1"}},
        {0x20000, {"actor lShin:1"}},
        {0xFFFC0000, {}},
        {0x40022, {"actor waist:1", "actor head:1"}},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.mask);
        ASSERT_EQ(writePoseFile(path.c_str(), test.mask), 1);
        std::string text = readFile(path);
        EXPECT_EQ(linesStartingWith(text, "actor "), test.actors);
        EXPECT_EQ(text.substr(text.size() - 3), "\n}\n");
    }
}

// A node switched off by the settings file leaves the diagnostic block, but a
// selected part keeps its actor block, as every node-less part does.
TEST_F(PoseFile, SwitchedOffNodeLeftOutOfDiagnosticBlock) {
    row("chest").flags |= NoNode;
    ASSERT_EQ(writePoseFile(path.c_str(), 0x3FFFF), 1);
    std::string text = readFile(path);
    EXPECT_EQ(linesStartingWith(text, "actor ").size(), 18u);
    std::string diagnostic = text.substr(text.find(diagnosticHead) + diagnosticHead.size());
    EXPECT_EQ(linesStartingWith(diagnostic, "chest ").size(), 0u);
    EXPECT_EQ(linesStartingWith(diagnostic, "waist ").size(), 0u);
    EXPECT_EQ(linesStartingWith(diagnostic, "head ").size(), 1u);
    EXPECT_EQ(std::count(diagnostic.begin(), diagnostic.end(), '\n'), 11);
}

TEST_F(PoseFile, DecimalPointWhateverTheLocale) {
    const char* comma = nullptr;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if ((comma = std::setlocale(LC_NUMERIC, name)) != nullptr) break;
    if (comma == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
    row("hip").jointAngles[0] = pi / 2;
    int written = writePoseFile(path.c_str(), 1);
    std::setlocale(LC_NUMERIC, "C");
    ASSERT_EQ(written, 1);
    std::string text = readFile(path);
    EXPECT_NE(text.find("\t\t\t\tk  0  90.000000\n"), std::string::npos);
    EXPECT_NE(text.find("     90.0    0.0    0.0\n"), std::string::npos);
}

TEST_F(PoseFile, FailuresShowTheirMessage) {
    std::string locked = directory + "/locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
    const std::string longName = directory + "/" + std::string(5000, 'n') + ".pz2";
    const struct {
        const char* name;
        std::string fileName;
        std::uint32_t mask;
        bool needsPermissions;  // root writes into a read-only directory
        const char* tail;
    } cases[] = {
        {"a directory", directory, 1, false, "を作成できません。"},
        {"a read-only directory", locked + "/Gestalyx.pz2", 1, true, "を作成できません。"},
        {"a missing directory", directory + "/none/Gestalyx.pz2", 1, false, "を作成できません。"},
        {"a name longer than the system takes, shown whole", longName, 1, false, "を作成できません。"},
        {"a full device, failing at close", "/dev/full", 0, false, "に書き込めません。"},
        {"a full device, failing on the way", "/dev/full", 0x3FFFF, false, "に書き込めません。"},
    };
    for (const auto& test : cases) {
        if (test.needsPermissions && geteuid() == 0) continue;
        SCOPED_TRACE(test.name);
        resetFakePlatform();
        writeFailed = 0;
        EXPECT_EQ(writePoseFile(test.fileName.c_str(), test.mask), 0);
        EXPECT_EQ(fakePlatform.errorBoxes, std::vector<std::string>{"一時ファイル (" + test.fileName + ") " + test.tail});
        EXPECT_EQ(poseFile, nullptr);
    }
}

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
    EXPECT_EQ(fakePlatform.errorBoxes, std::vector<std::string>{"一時ファイル (" + path + ") に書き込めません。"});
    std::string text = readFile(path);
    EXPECT_EQ(text.size(), 100u);
    EXPECT_EQ(text.substr(0, header.size() + 12), header + "actor hip:1\n");
}

}  // namespace
