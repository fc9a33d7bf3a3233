// virtual-doll: the doll's firmware behind a pseudo-terminal. This file is
// the POSIX edge around the model of doll.cpp: options, the pseudo-terminal
// and its link, signals, the control file, the motion's clock, pacing and
// the log.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "solver/sample_poses.h"
#include "tools/virtual-doll/doll.h"
#include "tools/virtual-doll/doll_files.h"

namespace {

const char helpText[] = R"(usage: virtual-doll LINK-PATH [options]

The doll's firmware on a pseudo-terminal: a peer for the serial link when no
doll is at hand. It opens a pseudo-terminal in raw mode, links its slave at
LINK-PATH (replacing an existing symbolic link, never anything else) once it
is ready, answers request lines as the doll does, and removes the link when
it ends (SIGINT, SIGTERM or SIGHUP; exit status 0). Under Wine, link it at
$WINEPREFIX/dosdevices/comN and open \\.\COMN. Bad usage or a malformed
state, posture or motion file: a message on standard error, exit status 2.

The line
  Bytes are taken as 7 bits. A request ends at LF; the reply is upper-case hex
  ending in CR LF, 5 bytes (A W C S U), 7 bytes (R) or "Gestalyx\r\n" (v).
  Hex digits of a request may be of either case. A request the doll cannot
  take (unknown letter or node, bad digits, wrong length, a line longer than
  16 bytes) gets no reply, as on a bus where nobody answers.
    aNNRR  set node NN's register pointer to RR      -> ANN
    wNNVV  write VV at the pointer, pointer + 1     -> WNN
    rNN    read at the pointer, pointer + 1         -> RNNVV
    cSS    set the switch/LED source (kept)          -> CSS
    u      read the switch/LED source                -> USS
    s      read the status byte (--status)           -> SSS
    v      identify                                  -> Gestalyx

The doll
  Eleven nodes at 20 (hip), 30 chest, 31 head, 32 rShldr, 33 rForeArm,
  34 lShldr, 35 lForeArm, 36 rThigh, 37 rShin, 38 lThigh, 39 lShin. Each has
  256 byte registers and an 8-bit pointer that moves on by one after every
  read and write, from 255 back to 0.
    0        firmware version (read only)
    1, 2     plain storage
    3        command register: bits 0-3 the command, bits 4-7 a sequence number
    4 - 9    X, Y, Z offset, low byte then bits 8-10 (11-bit two's complement,
             half counts, -1024 to 1023)
    10 - 12  live reading x y z, signed counts, 64 = one g (read only)
    13 - 18  the posture: sensor vectors x1 y1 z1 x2 y2 z2 (read only)
    19 - 255 plain storage: reads back what was written, 0 after power-up
  Writes to read-only registers are acknowledged and change nothing.
  Commands: 0 clears the command register; 1 takes a live reading into 10-12
  (the first sensor vector + the active offset / 2 + noise, clamped to
  -128..127); 4 and 5 place the active or the stored offsets in 4-9; 6, 7, 8
  take 4-5, 6-7, 8-9 as the active X, Y, Z offset; 9, 10, 11 store them in
  the node's memory. 2, 3 and 12-15 do nothing. Any other register byte is
  kept as written.

Options (also accepted as --option=value)
  --state FILE          the doll's memory: the switch/LED source and each node's
                        firmware version and stored offsets, plain text, rewritten
                        (temporary file, then rename) after every change; created
                        at start when missing; default ./virtual-doll.state. At
                        start the active offsets are the stored ones.
  --log FILE            log of exchanges (default: standard error)
  --control FILE        a file polled at least every 100 ms and before answering
                        each request. When it exists its lines are applied as
                        options of this list (one per line, same syntax, '#'
                        starts a comment), then it is deleted. Write it under
                        another name and rename it into place. Only there:
          --clear-faults    removes every fault and both rates
          --power-cycle     saves the memory, reads it back from the state file
                            and powers up: registers and pointers cleared, the
                            active offsets become the stored ones
          --unplug SECONDS  the cable pulled out: the link removed and the
                            pseudo-terminal closed, so that a client's handle
                            is hung up (reads end of file or fail, writes
                            fail) and the request being received is lost;
                            after SECONDS (above 0, at most 3600, at most six
                            decimals) a new pseudo-terminal is linked at
                            LINK-PATH, to be opened again. Given again while
                            unplugged, the time to plug back in starts anew.
  --posture FILE        eleven lines in node order, six signed counts each
                        (x1 y1 z1 x2 y2 z2, -128 to 127; '#' starts a comment);
                        default: a built-in upright posture. Ends a motion.
  --motion FILE         the posture changes over time: keys, each a line with
                        its time in seconds (digits, at most six decimals, 0 to
                        3600, later than the key before) followed by eleven node
                        lines as in the posture file, or a time and the word
                        "hold" alone: the key before's posture again, so that
                        the doll stays still from the one to the other; 1 to
                        1000 keys, '#' starts a comment. The motion's clock
                        starts when the doll starts
                        serving, or when the control file gives --motion (which
                        starts it again). Each request is answered in the
                        posture of the moment its LF arrived: before the first
                        key's time the first key's posture, after the last key's
                        the last one's, at a key's time exactly its counts, and
                        between two keys each sensor vector turns from the one
                        to the other with its length going straight from the one
                        length to the other (the straight blend of the vectors,
                        scaled to that length, rounded half away from zero,
                        clamped to -128..127). --posture ends the motion. A
                        remark in the log gives the motion's start:
                          # motion: FILE, N postures over S s, from <ms>
                        S the last key's time, <ms> on the log's clock.
  --loop                the motion starts again each time its last key's time
                        has passed, so that it plays on and on
  --noise COUNTS        every read of a sensor vector's count, and every live
                        reading, is off by up to +-COUNTS (0 to 127), drawn
                        uniformly, anew for each read
  --seed N              seeds the noise and the random faults (default 1)
  --pace                the line runs at 38400 bit/s, 10 bits per character
                        (about 0.26 ms), in both directions, one character at a
                        time: each request byte arrives one character time after
                        the later of the byte before it and the moment it was
                        read from the pseudo-terminal; the request is answered
                        when its LF has arrived, and the reply's bytes follow on
                        the same schedule, so the doll's own time to answer is
                        not added
  --no-pace             the line as fast as the pseudo-terminal (the default)
  --fault KIND[@TARGET] misbehave on purpose. TARGET: a node address in hex
                        (20, 30..39), or "doll" for the doll's own exchanges
                        (c u s v); none: every exchange, before any target's
                        own fault. KIND:
          silent            no reply at all
          wrong-echo        another node answers (the next in node order; 39 is
                            followed by 20); c echoes the source with its low bit
                            flipped; s, u and v have no echo and stay correct
          cut               the reply without its last byte
          lf                LF where the CR belongs
          garbage           '?' bytes of the reply's length
          ignore-command    writes to the command register are acknowledged
                            but not carried out; other exchanges stay correct
          lost              the request is carried out, then no reply at all
          lost-cut          carried out, then the reply without its last byte
          lost-garbage      carried out, then '?' bytes of the reply's length
          none              removes the fault of that target
                        silent, wrong-echo, cut, lf and garbage leave the doll as
                        it was, as if the request never arrived intact; the lost
                        kinds leave it as the request left it (the pointer moved
                        on, the register written, the command run).
  --correct-from N[@TARGET]
                        the fault applies to attempts 1..N-1 of each exchange
                        only; without a --fault for that target those attempts
                        are silent. An attempt is the same request line again
                        right after a faulted exchange; an address line for the
                        node of a faulted read or write (the pointer set again),
                        and the repeat after it, are one attempt.
  --fault-once KIND@REQUEST[,N]
                        the fault KIND once, on the Nth request line equal to
                        REQUEST (without its LF, e.g. r20 or w2018) from now,
                        the first unless N is given; before any other fault
  --fault-rate PERCENT  random faults of the kinds silent, cut, lf, garbage and
                        wrong-echo at that chance per exchange not otherwise
                        faulted (seeded)
  --lost-rate PERCENT   random faults of the kinds lost, lost-cut and
                        lost-garbage at that chance per exchange, besides the
                        fault rate's (the two together at most 100)
  --status BYTE         the byte answered to s, in hex (default 00)
  --log-reply-time      a second time on each exchange's log line: when the
                        reply's last byte was written
  --help                this text

The log
  One line per exchange:  <ms> <request> -> <reply>[ <fault>]
  or with --log-reply-time:  <ms> <done-ms> <request> -> <reply>[ <fault>]
  <ms> is a monotonic time (CLOCK_MONOTONIC) in milliseconds with three
  decimals: when the request's first byte was read from the pseudo-terminal.
  Without --pace the bytes of a request written at once are read at once, and
  that is also when its LF arrived; with --pace its LF arrives a character
  time per byte later on an idle line. <done-ms> is the same clock when the
  reply's last byte was written to the line (when the request was answered if
  there is no reply), so the next line's <ms> less this one's <done-ms> is the
  peer's turnaround, the peer's own time even with --pace.
  <request> and <reply> are the bytes exactly as received and sent, with \n,
  \r, \\ and \xhh for anything not printable (space included), a request
  beyond 64 bytes shown as its start and ...(+N); <reply> is (no reply) when
  none was sent; <fault> names the fault applied. Lines starting with # are
  remarks (start-up, link, control file, motion, unplug).
    # virtual-doll: /dev/pts/4 linked at /work/x/dosdevices/com7
    1530.112 a3003\n -> A30\r\n
    1530.845 r31\n -> (no reply) silent
)";

constexpr std::int64_t byteNanoseconds = 260417;  // 10 bits at 38400 bit/s
constexpr int controlPollMilliseconds = 100;
constexpr std::size_t heardShown = 64;

enum OptionPlace : unsigned { CommandLine = 1, ControlFile = 2 };

enum OptionAction {
    SetStatePath, SetLogPath, SetControlPath, LoadPosture, LoadMotion, LoopMotion, SetPace, LogReplyTime, PowerCycle, Unplug,
    ShowHelp, DollSetting
};

struct OptionEntry {
    const char* name;
    bool takesValue;
    unsigned places;
    OptionAction action;
};

constexpr OptionEntry optionTable[] = {
    {"--state", true, CommandLine, SetStatePath},
    {"--log", true, CommandLine, SetLogPath},
    {"--control", true, CommandLine, SetControlPath},
    {"--posture", true, CommandLine | ControlFile, LoadPosture},
    {"--motion", true, CommandLine | ControlFile, LoadMotion},
    {"--loop", false, CommandLine | ControlFile, LoopMotion},
    {"--noise", true, CommandLine | ControlFile, DollSetting},
    {"--seed", true, CommandLine | ControlFile, DollSetting},
    {"--pace", false, CommandLine | ControlFile, SetPace},
    {"--no-pace", false, CommandLine | ControlFile, SetPace},
    {"--fault", true, CommandLine | ControlFile, DollSetting},
    {"--correct-from", true, CommandLine | ControlFile, DollSetting},
    {"--fault-once", true, CommandLine | ControlFile, DollSetting},
    {"--fault-rate", true, CommandLine | ControlFile, DollSetting},
    {"--lost-rate", true, CommandLine | ControlFile, DollSetting},
    {"--status", true, CommandLine | ControlFile, DollSetting},
    {"--log-reply-time", false, CommandLine, LogReplyTime},
    {"--clear-faults", false, ControlFile, DollSetting},
    {"--power-cycle", false, ControlFile, PowerCycle},
    {"--unplug", true, ControlFile, Unplug},
    {"--help", false, CommandLine, ShowHelp},
};

Doll doll;
const char* linkPath = nullptr;
const char* statePath = "virtual-doll.state";
const char* logPath = nullptr;
const char* controlPath = nullptr;
bool pace = false;
bool logReplyTime = false;

// The motion being played, if any, and when its clock started.
DollMotion motion;
bool moving = false;
bool looping = false;  // --loop: the motion starts again after its last key
const char* motionPath = nullptr;  // of the command line's --motion, until the doll starts serving
std::int64_t motionStart = 0;

// With --pace, when the last character on the line has arrived (or will):
// the line carries one character at a time, in either direction.
std::int64_t lineBusyUntil = 0;

std::FILE* logFile = stderr;
int masterFd = -1;
int slaveFd = -1;  // kept open so that the line never hangs up but on --unplug
char slaveName[128];
bool linked = false;
std::int64_t plugInAt = 0;  // unplugged (masterFd < 0): when the line comes back
int signalPipe[2] = {-1, -1};
double lastControlCheck = 0;

// The bytes of the request line being received, as they came, for the log,
// and when its first byte was read.
unsigned char heard[heardShown];
std::size_t heardLength = 0;
std::size_t heardTotal = 0;
std::int64_t heardFirstRead = 0;

std::int64_t monotonicNanoseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

double milliseconds(std::int64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1e6; }

double monotonicMilliseconds() { return milliseconds(monotonicNanoseconds()); }

void sleepUntil(std::int64_t due) {
    timespec until{static_cast<time_t>(due / 1000000000), static_cast<long>(due % 1000000000)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

// The paced line: a character arrives one character time after the one
// before it, or after `earliest` when the line was idle by then.
std::int64_t scheduleCharacter(std::int64_t earliest) {
    lineBusyUntil = (lineBusyUntil > earliest ? lineBusyUntil : earliest) + byteNanoseconds;
    return lineBusyUntil;
}

void logRemark(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::fputs("# ", logFile);
    std::vfprintf(logFile, format, arguments);
    std::fputc('\n', logFile);
    va_end(arguments);
}

void logBytes(const unsigned char* bytes, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char c = bytes[i];
        if (c == '\n')
            std::fputs("\\n", logFile);
        else if (c == '\r')
            std::fputs("\\r", logFile);
        else if (c == '\\')
            std::fputs("\\\\", logFile);
        else if (c > ' ' && c < 0x7F)
            std::fputc(c, logFile);
        else
            std::fprintf(logFile, "\\x%02x", c);
    }
}

void logExchange(double firstRead, double replied, const char* reply, std::size_t replyLength) {
    std::fprintf(logFile, "%.3f ", firstRead);
    if (logReplyTime) std::fprintf(logFile, "%.3f ", replied);
    if (heardTotal <= heardShown) {
        logBytes(heard, heardLength);
    } else {
        logBytes(heard, heardShown - 1);
        std::fprintf(logFile, "...(+%zu)\\n", heardTotal - heardShown);
    }
    std::fputs(" -> ", logFile);
    if (replyLength == 0)
        std::fputs("(no reply)", logFile);
    else
        logBytes(reinterpret_cast<const unsigned char*>(reply), replyLength);
    if (doll.lastFault != FaultNone) std::fprintf(logFile, " %s", dollFaultNames[doll.lastFault]);
    std::fputc('\n', logFile);
}

// On a paced line the reply's bytes follow the request's LF (`answered`) on
// the line's schedule, each written when it has arrived at the far end.
void sendReply(const char* reply, std::size_t length, std::int64_t answered) {
    for (std::size_t sent = 0; sent < length;) {
        std::size_t chunk = length - sent;
        if (pace) {
            chunk = 1;
            sleepUntil(scheduleCharacter(answered));
        }
        ssize_t written;
        do written = write(masterFd, reply + sent, chunk);
        while (written < 0 && errno == EINTR);
        if (written <= 0) {
            // Nobody reads the line: the rest is lost, as on a wire.
            logRemark("%zu reply bytes lost: the line is full", length - sent);
            return;
        }
        sent += static_cast<std::size_t>(written);
    }
}

// The motion's time at `now`: since its start, or with --loop since its last start.
double motionSeconds(std::int64_t now) {
    double seconds = static_cast<double>(now - motionStart) / 1e9, length = motion.keys[motion.keyCount - 1].seconds;
    return looping && length > 0 ? std::fmod(seconds, length) : seconds;
}

void startMotion(const char* path) {
    motionStart = monotonicNanoseconds();
    moving = true;
    logRemark("motion: %s, %d posture%s over %.3f s, from %.3f", path, motion.keyCount, motion.keyCount == 1 ? "" : "s",
              motion.keys[motion.keyCount - 1].seconds, milliseconds(motionStart));
}

void saveMemoryIfChanged() {
    if (!doll.memoryChanged) return;
    if (!saveDollMemory(doll, statePath)) logRemark("%s", dollFileMessage);
    doll.memoryChanged = false;
}

// The control file is read before a request is answered, so the line being
// received goes through the power cycle whole: the request is not lost.
int powerCycle() {
    if (!saveDollMemory(doll, statePath) || !loadDollMemory(doll, statePath)) return 0;
    char line[sizeof doll.line];
    std::size_t lineLength = doll.lineLength;
    bool lineOverflow = doll.lineOverflow;
    std::memcpy(line, doll.line, sizeof line);
    powerUpDoll(doll);
    std::memcpy(doll.line, line, sizeof line);
    doll.lineLength = lineLength;
    doll.lineOverflow = lineOverflow;
    doll.memoryChanged = false;
    return 1;
}

void removeLink();

// The cable pulled out: closing the master hangs up every handle on the
// slave, and a new pseudo-terminal will be needed. What was received of the
// request line is lost with the line, unlike in a power cycle.
int unplug(const char* value) {
    double seconds = 0;
    if (!readDollSeconds(value, seconds) || seconds <= 0)
        return dollFail("--unplug %s: seconds above 0, at most 3600 with at most six decimals", value);
    std::int64_t now = monotonicNanoseconds();
    plugInAt = now + static_cast<std::int64_t>(std::llround(seconds * 1e9));
    if (masterFd < 0) {
        logRemark("still unplugged, for %s s from %.3f", value, milliseconds(now));
        return 1;
    }
    removeLink();
    close(masterFd);
    close(slaveFd);
    masterFd = slaveFd = -1;
    heardLength = heardTotal = 0;
    doll.lineLength = 0;
    doll.lineOverflow = false;
    logRemark("unplugged for %s s from %.3f: %s closed, link removed", value, milliseconds(now), slaveName);
    return 1;
}

int applyOption(const char* name, const char* value, OptionPlace place) {
    const OptionEntry* entry = nullptr;
    for (const OptionEntry& option : optionTable)
        if (std::strcmp(option.name, name) == 0 && (option.places & place) != 0) entry = &option;
    if (entry == nullptr) return dollFail("unknown option %s%s", name, place == ControlFile ? " in the control file" : "");
    if (entry->takesValue != (value != nullptr))
        return dollFail(entry->takesValue ? "%s needs a value" : "%s takes no value", name);
    switch (entry->action) {
    case SetStatePath: statePath = value; return 1;
    case SetLogPath: logPath = value; return 1;
    case SetControlPath: controlPath = value; return 1;
    case LoadPosture:
        if (!loadDollPosture(doll, value)) return 0;
        moving = false;
        return 1;
    case LoadMotion:
        if (!loadDollMotion(motion, value)) return 0;
        moving = true;
        // The command line's motion starts when the doll starts serving, a control file's at once.
        if (place == ControlFile)
            startMotion(value);
        else
            motionPath = value;
        return 1;
    case LoopMotion: looping = true; return 1;
    case SetPace: pace = std::strcmp(name, "--pace") == 0; return 1;
    case LogReplyTime: logReplyTime = true; return 1;
    case PowerCycle: return powerCycle();
    case Unplug: return unplug(value);
    case ShowHelp: std::fputs(helpText, stdout); std::exit(0);
    case DollSetting: return applyDollSetting(doll, name, value);
    }
    return 0;
}

bool optionTakesValue(const char* name) {
    for (const OptionEntry& option : optionTable)
        if (std::strcmp(option.name, name) == 0) return option.takesValue;
    return false;
}

// One line of the control file: "--name value", "--name=value" or "--name".
void applyControlLine(char* line) {
    if (char* comment = std::strchr(line, '#')) *comment = '\0';
    char* name = line + std::strspn(line, " \t");
    std::size_t end = std::strlen(name);
    while (end > 0 && std::strchr(" \t\r\n", name[end - 1]) != nullptr) name[--end] = '\0';
    if (*name == '\0') return;
    logRemark("control: %s", name);
    char* value = name + std::strcspn(name, " \t=");
    if (*value != '\0') {
        *value++ = '\0';
        value += std::strspn(value, " \t=");
    } else {
        value = nullptr;
    }
    if (!applyOption(name, value, ControlFile)) logRemark("control: %s", dollFileMessage);
    saveMemoryIfChanged();
}

void checkControlFile() {
    lastControlCheck = monotonicMilliseconds();
    if (controlPath == nullptr) return;
    std::FILE* file = std::fopen(controlPath, "r");
    if (file == nullptr) return;
    char line[512];
    while (std::fgets(line, sizeof line, file) != nullptr) applyControlLine(line);
    std::fclose(file);
    if (unlink(controlPath) != 0) logRemark("control: %s cannot be removed: %s", controlPath, std::strerror(errno));
}

void removeLink() {
    if (!linked) return;
    linked = false;
    char target[sizeof slaveName];
    ssize_t length = readlink(linkPath, target, sizeof target - 1);
    if (length < 0) return;
    target[length] = '\0';
    if (std::strcmp(target, slaveName) == 0) unlink(linkPath);
}

[[noreturn]] void stop(int status, const char* message) {
    removeLink();
    if (message != nullptr) std::fprintf(stderr, "virtual-doll: %s\n", message);
    if (logFile != stderr) std::fclose(logFile);
    std::exit(status);
}

void onSignal(int number) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(number);
    ssize_t ignored = write(signalPipe[1], &byte, 1);
    (void)ignored;
    errno = saved;
}

int catchSignals() {
    if (pipe(signalPipe) != 0) return dollFail("no pipe for signals: %s", std::strerror(errno));
    for (int fd : signalPipe) {
        fcntl(fd, F_SETFL, O_NONBLOCK);
        fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGINT, SIGTERM, SIGHUP})
        if (sigaction(number, &action, nullptr) != 0) return dollFail("signals: %s", std::strerror(errno));
    signal(SIGPIPE, SIG_IGN);
    return 1;
}

// Raw, no echo, 38400 bit/s. A pseudo-terminal carries whole bytes: Linux
// refuses a character size of 7 bits or parity on it, so the doll takes each
// byte as 7 bits itself. A client's own settings that the kernel refuses
// leave these in force, since the doll keeps the slave open.
int makeRaw(int fd) {
    termios settings;
    if (tcgetattr(fd, &settings) != 0) return 0;
    cfmakeraw(&settings);
    settings.c_cflag |= CREAD | CLOCAL;
    cfsetispeed(&settings, B38400);
    cfsetospeed(&settings, B38400);
    return tcsetattr(fd, TCSANOW, &settings) == 0;
}

int openLine() {
    masterFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (masterFd < 0 || grantpt(masterFd) != 0 || unlockpt(masterFd) != 0 ||
        ptsname_r(masterFd, slaveName, sizeof slaveName) != 0)
        return dollFail("no pseudo-terminal: %s", std::strerror(errno));
    slaveFd = open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0) return dollFail("%s cannot be opened: %s", slaveName, std::strerror(errno));
    if (!makeRaw(masterFd) || !makeRaw(slaveFd))
        return dollFail("%s cannot be set to raw mode: %s", slaveName, std::strerror(errno));
    if (fcntl(masterFd, F_SETFL, O_NONBLOCK) != 0) return dollFail("%s: %s", slaveName, std::strerror(errno));
    return 1;
}

int createLink() {
    struct stat existing;
    if (lstat(linkPath, &existing) == 0) {
        if (!S_ISLNK(existing.st_mode)) return dollFail("%s exists and is not a symbolic link: not replaced", linkPath);
        if (unlink(linkPath) != 0) return dollFail("%s cannot be replaced: %s", linkPath, std::strerror(errno));
    }
    if (symlink(slaveName, linkPath) != 0) return dollFail("%s cannot be linked: %s", linkPath, std::strerror(errno));
    linked = true;
    return 1;
}

// The built-in posture: the doll standing upright, the first sample pose.
void loadBuiltInPosture() {
    for (int i = 0; i < dollNodeCount; ++i) {
        const SamplePoseEntry& entry = samplePoseTable[0][i];
        std::memcpy(doll.nodes[i].posture, entry.first, 3);
        std::memcpy(doll.nodes[i].posture + 3, entry.second, 3);
    }
}

int readCommandLine(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        char* name = argv[i];
        if (std::strncmp(name, "--", 2) != 0) {
            if (linkPath != nullptr) return dollFail("one link path only: %s", name);
            linkPath = name;
            continue;
        }
        const char* value = nullptr;
        if (char* equals = std::strchr(name, '=')) {
            *equals = '\0';
            value = equals + 1;
        } else if (optionTakesValue(name)) {
            if (i + 1 == argc) return dollFail("%s needs a value", name);
            value = argv[++i];
        }
        if (!applyOption(name, value, CommandLine)) return 0;
    }
    return linkPath != nullptr || dollFail("no link path (virtual-doll --help)");
}

// Feeds what one read from the line brought to the doll, answering each
// completed request when its LF has arrived, in the posture of that moment.
void serveBytes(const unsigned char* bytes, std::size_t count, std::int64_t readAt) {
    for (std::size_t i = 0; i < count; ++i) {
        if (heardTotal == 0) heardFirstRead = readAt;
        if (heardLength < heardShown) heard[heardLength++] = bytes[i];
        ++heardTotal;
        std::int64_t arrival = pace ? scheduleCharacter(readAt) : readAt;
        char reply[dollReplyCapacity];
        if ((bytes[i] & 0x7F) != '\n') {
            receiveDollByte(doll, bytes[i], reply);
            continue;
        }
        if (pace) sleepUntil(arrival);
        checkControlFile();
        if (masterFd < 0) return;  // unplugged: the rest of the bytes are lost with the line
        if (moving) poseDollAt(doll, motion, motionSeconds(arrival));
        std::size_t length = receiveDollByte(doll, bytes[i], reply);
        sendReply(reply, length, arrival);
        logExchange(milliseconds(heardFirstRead), monotonicMilliseconds(), reply, length);
        heardLength = heardTotal = 0;
        saveMemoryIfChanged();
    }
}

// Plugged back in: a new pseudo-terminal, linked where the old one was.
int plugIn() {
    if (!openLine() || !createLink()) return 0;
    logRemark("plugged in at %.3f: %s linked at %s", monotonicMilliseconds(), slaveName, linkPath);
    return 1;
}

int serveLine() {
    for (;;) {
        // Unplugged, poll ignores the closed line and wakes for the control
        // file, a signal or the time to plug back in.
        int timeout = controlPollMilliseconds;
        if (masterFd < 0) {
            std::int64_t left = (plugInAt - monotonicNanoseconds() + 999999) / 1000000;
            timeout = static_cast<int>(left < 0 ? 0 : left < timeout ? left : timeout);
        }
        pollfd watched[2] = {{masterFd, POLLIN, 0}, {signalPipe[0], POLLIN, 0}};
        if (poll(watched, 2, timeout) < 0 && errno != EINTR)
            return dollFail("poll: %s", std::strerror(errno));
        unsigned char number;
        if ((watched[1].revents & POLLIN) != 0 && read(signalPipe[0], &number, 1) == 1) {
            logRemark("virtual-doll: signal %d, link removed", number);
            return 1;
        }
        if (monotonicMilliseconds() - lastControlCheck >= controlPollMilliseconds) checkControlFile();
        if (masterFd < 0) {
            if (monotonicNanoseconds() >= plugInAt && !plugIn()) return 0;
            continue;
        }
        if ((watched[0].revents & POLLIN) != 0) {
            unsigned char bytes[4096];
            ssize_t count = read(masterFd, bytes, sizeof bytes);
            if (count < 0 && errno != EAGAIN && errno != EINTR) return dollFail("%s: %s", slaveName, std::strerror(errno));
            if (count > 0) serveBytes(bytes, static_cast<std::size_t>(count), monotonicNanoseconds());
        } else if ((watched[0].revents & (POLLHUP | POLLERR)) != 0) {
            usleep(controlPollMilliseconds * 1000);  // nobody on the line: wait without spinning
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    resetDoll(doll);
    loadBuiltInPosture();
    if (!readCommandLine(argc, argv) || !loadDollMemory(doll, statePath)) stop(2, dollFileMessage);
    powerUpDoll(doll);
    if (!saveDollMemory(doll, statePath)) stop(2, dollFileMessage);
    if (logPath != nullptr && (logFile = std::fopen(logPath, "w")) == nullptr) {
        logFile = stderr;
        dollFail("%s cannot be written: %s", logPath, std::strerror(errno));
        stop(2, dollFileMessage);
    }
    setvbuf(logFile, nullptr, _IOLBF, 0);
    // Linux lets a sleep end up to its timer slack late, 50 us unless set:
    // the paced line keeps its times to within the wake-up's own delay.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);

    if (!catchSignals() || !openLine() || !createLink()) stop(1, dollFileMessage);
    logRemark("virtual-doll: %s linked at %s", slaveName, linkPath);
    if (moving) startMotion(motionPath);
    checkControlFile();
    if (!serveLine()) stop(1, dollFileMessage);
    stop(0, nullptr);
}
