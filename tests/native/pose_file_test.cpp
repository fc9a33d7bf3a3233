// The pose file: its exact text, which parts get an actor block and a
// diagnostic row, the decimal point under any locale, and files that cannot
// be created or written.
#include "output/pose_file.h"

#include <clocale>
#include <csignal>

#include <sys/resource.h>
#include <unistd.h>

#include "model/body_parts.h"
#include "tests/common/data_table.h"
#include "tests/native/fake_platform.h"

constexpr double pi = 3.141592653589793;

static const std::string hipFile = fileText(GESTALYX_TEST_DATA "/hip_only.pz2");

class PoseFile : public testing::Test {
protected:
    void SetUp() override {
        resetFakePlatform();
        // Angles and sensor values of hip that show every field's width and sign; hip_only.pz2 selects hip alone.
        BodyPart& hip = bodyPartTable[0];
        const std::int8_t sensor[6] = {-64, 5, 0, 64, -1, 127};
        std::copy(sensor, sensor + 6, hip.sensor);
        hip.absoluteAngles[0] = pi / 2, hip.absoluteAngles[2] = -3 * pi / 4;
        hip.jointAngles[0] = pi / 2, hip.jointAngles[1] = -12.5 * pi / 180, hip.jointAngles[2] = pi / 4;
    }
    void TearDown() override { std::remove(path.c_str()); }

    const std::string directory = testing::TempDir(), path = directory + std::to_string(getpid()) + ".pz2";
};

// Under "C" and under a locale with a decimal comma alike.
TEST_F(PoseFile, WholeFileForOneSelectedPartUnderAnyLocale) {
    for (const char* locale : {"C", "de_DE.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, locale) == nullptr) GTEST_SKIP() << "no locale " << locale;
        int written = writePoseFile(path.c_str(), 1);
        std::setlocale(LC_NUMERIC, "C");
        EXPECT_EQ(written, 1) << locale;
        EXPECT_EQ(fileText(path), hipFile) << locale;
    }
    EXPECT_TRUE(fakePlatform.errorBoxes.empty());
}

TEST_F(PoseFile, MaskSelectsActorBlocksAndNodesMakeDiagnosticRows) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/pose_file_parts.txt")) {
        SCOPED_TRACE(row.where);
        resetFakePlatform();
        for (BodyPart& part : bodyPartTable)
            if (row.fields[1] == part.name) part.flags |= NoNode;
        ASSERT_EQ(writePoseFile(path.c_str(), static_cast<std::uint32_t>(std::stoul(row.fields[0], nullptr, 0))), 1);
        std::istringstream text(fileText(path));
        std::string actors, diagnostic;
        for (std::string line; std::getline(text, line);) {
            if (line.starts_with("actor ")) actors += (actors.empty() ? "" : " ") + line.substr(6, line.find(':') - 6);
            if (line.find(") (") != std::string::npos && !line.starts_with("name "))
                diagnostic += (diagnostic.empty() ? "" : " ") + line.substr(0, line.find(' '));
        }
        EXPECT_EQ(actors, row.fields[2]);
        EXPECT_EQ(diagnostic, row.fields[3]);
    }
}

// A file that cannot be created, one whose buffered output fails only when it
// is closed, and one whose writes fail part way: each shows its message once,
// and what reached the disk stays.
TEST_F(PoseFile, FailuresShowTheirMessageAndLeaveWhatWasWritten) {
    EXPECT_EQ(writePoseFile(directory.c_str(), 0), 0);
    EXPECT_EQ(writePoseFile("/dev/full", 0), 0);
    rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{100, saved.rlim_max};
    std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int written = writePoseFile(path.c_str(), 0x3FFFF);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(poseFile, nullptr);
    const std::vector<std::string> messages = {"一時ファイル (" + directory + ") を作成できません。",
                                               "一時ファイル (/dev/full) に書き込めません。",
                                               "一時ファイル (" + path + ") に書き込めません。"};
    EXPECT_EQ(fakePlatform.errorBoxes, messages);
    EXPECT_EQ(fileText(path), hipFile.substr(0, 100));
}
