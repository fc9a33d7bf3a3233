// The virtual doll: its model driven byte by byte through scripts of
// exchanges, its files, its motions, and the program itself on a pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
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

// Motion files made from steps.motion as the rows of doll_motion_files.txt say, files of as many keys as a
// motion holds and one more, and the example.
TEST(VirtualDoll, MotionFilesAreTakenWholeOrRefusedWithTheLineAtFault) {
    std::vector<std::string> lines;
    std::istringstream steps(fileText(dataDirectory + "steps.motion"));
    for (std::string line; std::getline(steps, line);) lines.push_back(line);
    std::string path = temporaryPath("motion");
    static DollMotion motion;
    for (const DataRow& row : readDataTable(dataDirectory + "doll_motion_files.txt")) {
        SCOPED_TRACE(row.where);
        int first = 0, last = 0;
        if (std::sscanf(row.fields[0].c_str(), "%d-%d", &first, &last) == 1) last = first;
        std::ofstream file(path);
        for (int number = 1; number <= static_cast<int>(lines.size()); ++number) {
            if (number == first && !row.fields[1].empty()) file << row.fields[1] << '\n';
            if (number < first || number > last) file << lines[number - 1] << '\n';
        }
        file.close();
        motion.keyCount = -1;
        int keys = 0;
        bool accepted = std::sscanf(row.fields[2].c_str(), "%d keys", &keys) == 1;
        EXPECT_EQ(loadDollMotion(motion, path.c_str()), accepted ? 1 : 0) << dollFileMessage;
        EXPECT_EQ(motion.keyCount, accepted ? keys : -1);
        std::string message = path + (row.fields[2][0] == ':' ? "" : ", ") + row.fields[2];
        EXPECT_TRUE(accepted || std::string(dollFileMessage).starts_with(message)) << dollFileMessage;
    }
    for (int keys : {dollMotionCapacity, dollMotionCapacity + 1}) {
        std::ofstream file(path);
        for (int key = 0; key < keys; ++key) {
            file << key << '\n';
            for (int node = 0; node < dollNodeCount; ++node) file << "0 64 0 0 0 64\n";
        }
        file.close();
        EXPECT_EQ(loadDollMotion(motion, path.c_str()), keys == dollMotionCapacity ? 1 : 0) << keys;
    }
    EXPECT_EQ(std::string(dollFileMessage), path + ", line 12001: more than 1000 keys");
    EXPECT_EQ(loadDollMotion(motion, (dataDirectory + "../../examples/wave.motion").c_str()), 1) << dollFileMessage;
    std::remove(path.c_str());
}

TEST(VirtualDoll, AMotionHoldsItsEndsAndTurnsEachVectorBetweenKeysKeepingItsLength) {
    static DollMotion motion;
    ASSERT_EQ(loadDollMotion(motion, (dataDirectory + "steps.motion").c_str()), 1) << dollFileMessage;
    Doll doll;
    resetDoll(doll);
    for (const DataRow& row : readDataTable(dataDirectory + "doll_motion_samples.txt")) {
        SCOPED_TRACE(row.where);
        poseDollAt(doll, motion, std::stod(row.fields[0]));
        const char* const* node = std::find(dollNodeNames, dollNodeNames + dollNodeCount, row.fields[1]);
        ASSERT_NE(node, dollNodeNames + dollNodeCount) << "no node " << row.fields[1];
        std::string counts;
        for (int count : doll.nodes[node - dollNodeNames].posture)
            counts += (counts.empty() ? "" : " ") + std::to_string(count);
        EXPECT_EQ(counts, row.fields[2]);
    }
}

// A client opens the link at the line's settings and makes its exchanges. The line is paced: each exchange
// takes at least the time of its bytes, in the log from the request's first byte to the reply's last. The
// motion gives the posture until the control file's --posture ends it. SIGTERM ends the program and
// removes the link.
TEST(VirtualDoll, ServesALinkedPseudoTerminalUntilTerminated) {
    std::string link = temporaryPath("com7"), log = temporaryPath("log"), state = temporaryPath("state"),
                control = temporaryPath("control"), motion = dataDirectory + "steps.motion";
    const char* arguments[] = {VIRTUAL_DOLL_PROGRAM, link.c_str(), "--log", log.c_str(), "--state", state.c_str(),
                               "--control", control.c_str(), "--pace", "--log-reply-time", "--motion", motion.c_str(),
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
    auto exchange = [line](const std::string& request) {
        EXPECT_EQ(write(line, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        std::string reply;
        char byte;
        pollfd watched{line, POLLIN, 0};
        while (!reply.ends_with('\n') && poll(&watched, 1, 1000) == 1 && read(line, &byte, 1) == 1) reply += byte;
        return reply;
    };
    EXPECT_EQ(exchange("v\n"), "Gestalyx\r\n");
    EXPECT_EQ(exchange("a340d\n"), "A34\r\n");
    EXPECT_EQ(exchange("r34\n"), "R3401\r\n");  // lShldr's x1 in every key of the motion
    std::ofstream(control + ".new") << "--posture " << dataDirectory << "sample_pose_1.posture\n";
    std::rename((control + ".new").c_str(), control.c_str());
    EXPECT_EQ(exchange("a340d\n"), "A34\r\n");
    EXPECT_EQ(exchange("r34\n"), "R340E\r\n");  // and in the posture
    close(line);
    kill(doll, SIGTERM);
    int status;
    ASSERT_EQ(waitpid(doll, &status, 0), doll);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    struct stat gone;
    EXPECT_NE(lstat(link.c_str(), &gone), 0) << "the link is still there";
    std::string text = fileText(log);
    EXPECT_NE(text.find("\n# motion: " + motion + ", 3 postures over 3.500 s, from "), std::string::npos) << text;
    std::regex exchangeLine(R"(\n(\d+\.\d{3}) (\d+\.\d{3}) (\S+) -> (\S+)(?=\n))");
    int exchanges = 0;
    for (std::sregex_iterator next(text.begin(), text.end(), exchangeLine), end; next != end; ++next, ++exchanges) {
        double wire = static_cast<double>(unescape((*next)[3]).size() + unescape((*next)[4]).size()) * 0.260417;
        EXPECT_GE(std::stod((*next)[2]) - std::stod((*next)[1]), wire - 0.001) << next->str();
    }
    EXPECT_EQ(exchanges, 5) << text;
    for (const std::string& path : {log, state}) std::remove(path.c_str());
}
