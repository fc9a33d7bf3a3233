// The virtual doll: its model driven byte by byte through scripts of
// exchanges, its files, and the program itself on a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <random>
#include <regex>

#include "tests/common/data_table.h"
#include "tools/virtual-doll/doll_files.h"

static const std::string dataDirectory = GESTALYX_TEST_DATA "/";

// Sends the bytes; returns the reply to the last line they complete.
static std::string dollReply(Doll& doll, const std::string& request) {
    char reply[dollReplyCapacity];
    std::string last;
    for (char c : request) {
        std::size_t length = receiveDollByte(doll, static_cast<unsigned char>(c), reply);
        if (c == '\n') last.assign(reply, length);
    }
    return last;
}

static std::string temporaryPath(const char* name) {
    return testing::TempDir() + "virtual_doll_" + std::to_string(getpid()) + "_" + name;
}

// Runs a script of exchanges (see doll_exchanges.txt).
static void runScript(const char* name) {
    Doll doll;
    for (const DataRow& row : readDataTable(dataDirectory + name)) {
        SCOPED_TRACE(row.where);
        const std::string& first = row.fields[0];
        std::size_t space = first.find(' ');
        std::string option = first.substr(0, space), value = space == std::string::npos ? "" : first.substr(space + 1);
        if (option == "==") {  // a new case: a doll fresh from the factory in the first sample pose
            resetDoll(doll);
            ASSERT_EQ(loadDollPosture(doll, (dataDirectory + "sample_pose_1.posture").c_str()), 1) << dollFileMessage;
        } else if (option == "--posture") {
            ASSERT_EQ(loadDollPosture(doll, (dataDirectory + value).c_str()), 1) << dollFileMessage;
        } else if (option == "--restart") {  // a new doll that reads the memory this one saved
            std::string state = temporaryPath("state");
            ASSERT_EQ(saveDollMemory(doll, state.c_str()), 1) << dollFileMessage;
            resetDoll(doll);
            ASSERT_EQ(loadDollMemory(doll, state.c_str()), 1) << dollFileMessage;
            powerUpDoll(doll);
            std::remove(state.c_str());
        } else if (option.starts_with("--")) {
            const char* argument = value.empty() ? nullptr : value.c_str();
            ASSERT_EQ(applyDollSetting(doll, option.c_str(), argument), 1) << dollFileMessage;
        } else {
            ASSERT_GE(row.fields.size(), 2u) << "not an exchange";
            EXPECT_EQ(dollReply(doll, first), row.fields[1] == "(no reply)" ? "" : row.fields[1]);
            EXPECT_EQ(dollFaultNames[doll.lastFault], row.fields.size() > 2 ? row.fields[2] : "none");
        }
    }
}

TEST(VirtualDoll, AnswersTheWorkedFramesAndSequencesAndRefusesWhatItCannotTake) { runScript("doll_exchanges.txt"); }

TEST(VirtualDoll, EachFaultProducesItsFaultAndNothingElse) { runScript("doll_faults.txt"); }

TEST(VirtualDoll, BadBytesFromTheLineNeverStopIt) {
    std::mt19937 random(20261206);
    std::string noise(20000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    Doll doll;
    resetDoll(doll);
    for (const std::string& bytes : {noise, std::string(100000, 'a') + "\n", std::string(100000, 'w'),
                                     std::string("\0\0\n\0r30\nr\0" "30\n", 11)}) {
        dollReply(doll, bytes + "\n");  // the LF ends whatever line the bytes left open
        EXPECT_EQ(dollReply(doll, "v\n"), "Gestalyx\r\n") << bytes.substr(0, 16);
    }
}

TEST(VirtualDoll, MalformedFilesAreRefusedWithTheLineAtFault) {
    std::string path = temporaryPath("malformed");
    for (const DataRow& row : readDataTable(dataDirectory + "doll_files.txt")) {
        SCOPED_TRACE(row.where);
        std::ofstream(path) << row.fields[1];
        Doll doll;
        resetDoll(doll);
        EXPECT_EQ((row.fields[0] == "posture" ? loadDollPosture : loadDollMemory)(doll, path.c_str()), 0);
        std::string message = path + (row.fields[2][0] == ':' ? "" : ", ") + row.fields[2];
        EXPECT_TRUE(std::string(dollFileMessage).starts_with(message)) << dollFileMessage;
    }
    std::remove(path.c_str());
}

// A client opens the link at the line's settings and makes one exchange; the
// log shows it with its time, and SIGTERM ends the program and removes the link.
TEST(VirtualDoll, ServesALinkedPseudoTerminalUntilTerminated) {
    std::string link = temporaryPath("com7"), log = temporaryPath("log"), state = temporaryPath("state");
    const char* arguments[] = {VIRTUAL_DOLL_PROGRAM, link.c_str(), "--log", log.c_str(), "--state", state.c_str(),
                               nullptr};
    pid_t doll;
    ASSERT_EQ(posix_spawn(&doll, VIRTUAL_DOLL_PROGRAM, nullptr, nullptr, const_cast<char**>(arguments), environ), 0);
    for (int i = 0; i < 100 && access(link.c_str(), F_OK) != 0; ++i) usleep(50000);
    int line = open(link.c_str(), O_RDWR | O_NOCTTY);
    termios settings{};
    EXPECT_EQ(tcgetattr(line, &settings), 0) << link;
    cfmakeraw(&settings);
    cfsetspeed(&settings, B38400);
    termios sevenBits = settings;
    sevenBits.c_cflag = (sevenBits.c_cflag & ~CSIZE) | CS7 | PARENB;
    // Linux refuses 7 bits and parity on a pseudo-terminal; the doll takes 7 bits of each byte itself.
    EXPECT_TRUE(tcsetattr(line, TCSANOW, &sevenBits) == 0 || tcsetattr(line, TCSANOW, &settings) == 0);
    EXPECT_EQ(write(line, "v\n", 2), 2);
    char reply[11] = {};
    pollfd watched{line, POLLIN, 0};
    ssize_t got = 0, count;
    while (got < 10 && poll(&watched, 1, 1000) == 1 && (count = read(line, reply + got, 10 - got)) > 0) got += count;
    EXPECT_STREQ(reply, "Gestalyx\r\n");
    close(line);
    kill(doll, SIGTERM);
    int status;
    ASSERT_EQ(waitpid(doll, &status, 0), doll);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat gone;
    EXPECT_NE(lstat(link.c_str(), &gone), 0) << "the link is still there";
    std::string text{std::istreambuf_iterator<char>(std::ifstream(log).rdbuf()), {}};
    EXPECT_TRUE(std::regex_search(text, std::regex(R"(\n\d+\.\d{3} v\\n -> Gestalyx\\r\\n\n)"))) << text;
    for (const std::string& path : {log, state}) std::remove(path.c_str());
}
