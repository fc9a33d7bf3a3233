#include "tools/virtual-doll/doll_files.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

char dollFileMessage[512];

const char* const dollFaultNames[dollFaultKinds] = {"none",    "silent",         "wrong-echo", "cut",
                                                   "lf",      "garbage",        "ignore-command", "lost",
                                                   "lost-cut", "lost-garbage"};

int dollFail(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(dollFileMessage, sizeof dollFileMessage, format, arguments);
    va_end(arguments);
    return 0;
}

namespace {

constexpr int lineCapacity = 256;
constexpr int maxWords = 8;

// Cuts the line at '#' and splits it at blanks in place. Returns the number
// of words, or maxWords + 1 when there are more than fit.
int splitWords(char* line, char* words[maxWords]) {
    if (char* comment = std::strchr(line, '#')) *comment = '\0';
    int count = 0;
    for (char* word = std::strtok(line, " \t\r\n"); word != nullptr; word = std::strtok(nullptr, " \t\r\n")) {
        if (count == maxWords) return maxWords + 1;
        words[count++] = word;
    }
    return count;
}

// A whole word as a number of the base within min..max.
int readNumber(const char* word, int base, long min, long max, long& value) {
    if (word == nullptr || *word == '\0') return 0;
    char* end;
    errno = 0;
    long number = std::strtol(word, &end, base);
    if (errno != 0 || *end != '\0' || number < min || number > max) return 0;
    value = number;
    return 1;
}

int readHexByte(const char* word, std::uint8_t& value) {
    long number;
    if (!readNumber(word, 16, 0, 0xFF, number)) return 0;
    value = static_cast<std::uint8_t>(number);
    return 1;
}

// Reads the next line into `line`. Returns 1 while there are lines; a line
// that does not fit ends the file with a message (and `tooLong` set).
int nextLine(std::FILE* file, char (&line)[lineCapacity], int& number, bool& tooLong) {
    if (std::fgets(line, lineCapacity, file) == nullptr) return 0;
    ++number;
    std::size_t length = std::strlen(line);
    tooLong = length == lineCapacity - 1 && line[length - 1] != '\n' && !std::feof(file);
    return 1;
}

// The parts of one node line of the memory file:
// node <address> firmware <version> stored <X> <Y> <Z>
int readMemoryNode(Doll& doll, char* words[maxWords], int count) {
    std::uint8_t address, version;
    long offsets[3];
    if (count != 8 || std::strcmp(words[2], "firmware") != 0 || std::strcmp(words[4], "stored") != 0 ||
        !readHexByte(words[1], address) || !readHexByte(words[3], version))
        return dollFail("expected \"node <address> firmware <version> stored <X> <Y> <Z>\"");
    for (int axis = 0; axis < 3; ++axis)
        if (!readNumber(words[5 + axis], 10, -1024, 1023, offsets[axis]))
            return dollFail("a stored offset is a whole number of half counts from -1024 to 1023");
    DollNode* node = findDollNode(doll, address);
    if (node == nullptr) return dollFail("the doll has no node at address %02x", address);
    node->firmwareVersion = version;
    for (int axis = 0; axis < 3; ++axis) node->storedOffset[axis] = static_cast<std::int16_t>(offsets[axis]);
    return 1;
}

// A key's time in seconds: digits, then maybe a point and one to six more,
// from 0 to dollMotionLatest. Read digit by digit rather than by strtod, so
// that no locale's decimal comma, exponent, hex or "inf" slips in; at most
// twelve digits, so that the count of microseconds cannot overflow.
int readSeconds(const char* word, double& seconds) {
    long long micro = 0;
    int digits = 0, decimals = -1;  // -1: no point yet
    for (const char* c = word; *c != '\0'; ++c) {
        if (*c == '.' && decimals < 0 && digits > 0) {
            decimals = 0;
            continue;
        }
        if (*c < '0' || *c > '9' || decimals == 6 || ++digits > 12) return 0;
        micro = micro * 10 + (*c - '0');
        if (decimals >= 0) ++decimals;
    }
    if (digits == 0 || decimals == 0) return 0;
    for (int place = decimals < 0 ? 0 : decimals; place < 6; ++place) micro *= 10;
    if (micro > static_cast<long long>(dollMotionLatest) * 1000000) return 0;
    seconds = static_cast<double>(micro) / 1e6;
    return 1;
}

// Six whole counts from -128 to 127.
int readCounts(char* words[maxWords], int count, std::int8_t counts[6]) {
    long value = 0;
    if (count != 6) return 0;
    for (int k = 0; k < 6; ++k) {
        if (!readNumber(words[k], 10, -128, 127, value)) return 0;
        counts[k] = static_cast<std::int8_t>(value);
    }
    return 1;
}

// The message of a file that is not good, with its name and the line at fault.
int failAtLine(const char* path, int number) {
    char reason[sizeof dollFileMessage];
    std::memcpy(reason, dollFileMessage, sizeof reason);
    return dollFail("%s, line %d: %s", path, number, reason);
}

DollFaultPlan* faultPlanOf(Doll& doll, const char* target) {
    if (target == nullptr) return &doll.fault;
    if (std::strcmp(target, "doll") == 0) return &doll.unitFault;
    std::uint8_t address;
    DollNode* node = readHexByte(target, address) ? findDollNode(doll, address) : nullptr;
    return node != nullptr ? &node->fault : nullptr;
}

}  // namespace

int readDollSeconds(const char* word, double& seconds) { return readSeconds(word, seconds); }

int loadDollMemory(Doll& doll, const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return errno == ENOENT ? 1 : dollFail("%s: cannot be read: %s", path, std::strerror(errno));
    Doll loaded = doll;
    char line[lineCapacity];
    int number = 0;
    bool tooLong = false, good = true;
    while (good && nextLine(file, line, number, tooLong)) {
        char* words[maxWords];
        int count = tooLong ? 0 : splitWords(line, words);
        if (tooLong)
            good = dollFail("line too long");
        else if (count == 0)
            continue;
        else if (std::strcmp(words[0], "switch-source") == 0)
            good = (count == 2 && readHexByte(words[1], loaded.switchSource)) ||
                   dollFail("expected \"switch-source <byte in hex>\"");
        else if (std::strcmp(words[0], "node") == 0)
            good = readMemoryNode(loaded, words, count);
        else
            good = dollFail("expected \"switch-source\" or \"node\"");
    }
    std::fclose(file);
    if (!good) return failAtLine(path, number);
    doll.switchSource = loaded.switchSource;
    for (int i = 0; i < dollNodeCount; ++i) {
        doll.nodes[i].firmwareVersion = loaded.nodes[i].firmwareVersion;
        std::memcpy(doll.nodes[i].storedOffset, loaded.nodes[i].storedOffset, sizeof doll.nodes[i].storedOffset);
    }
    return 1;
}

int saveDollMemory(const Doll& doll, const char* path) {
    char temporary[4096];
    if (std::snprintf(temporary, sizeof temporary, "%s.tmp", path) >= static_cast<int>(sizeof temporary))
        return dollFail("%s: path too long", path);
    std::FILE* file = std::fopen(temporary, "w");
    if (file == nullptr) return dollFail("%s: cannot be written: %s", temporary, std::strerror(errno));
    std::fprintf(file, "# virtual-doll memory: what the doll keeps while switched off\n");
    std::fprintf(file, "switch-source %02x\n", doll.switchSource);
    std::fprintf(file, "# node <address> firmware <version> stored <X> <Y> <Z>, offsets in half counts\n");
    for (const DollNode& node : doll.nodes)
        std::fprintf(file, "node %02x firmware %02x stored %d %d %d\n", node.address, node.firmwareVersion,
                     node.storedOffset[0], node.storedOffset[1], node.storedOffset[2]);
    bool written = std::ferror(file) == 0;
    if (std::fclose(file) != 0) written = false;
    if (!written || std::rename(temporary, path) != 0) {
        int error = errno;
        std::remove(temporary);
        return dollFail("%s: cannot be written: %s", path, std::strerror(error));
    }
    return 1;
}

int loadDollPosture(Doll& doll, const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return dollFail("%s: cannot be read: %s", path, std::strerror(errno));
    std::int8_t posture[dollNodeCount][6];
    char line[lineCapacity];
    int number = 0, rows = 0;
    bool tooLong = false, good = true;
    while (good && nextLine(file, line, number, tooLong)) {
        char* words[maxWords];
        int count = tooLong ? 0 : splitWords(line, words);
        if (tooLong) {
            good = dollFail("line too long");
        } else if (count == 0) {
            continue;
        } else if (rows == dollNodeCount) {
            good = dollFail("more than %d node lines", dollNodeCount);
        } else {
            good = readCounts(words, count, posture[rows]) ||
                   dollFail("expected six whole counts from -128 to 127 (x1 y1 z1 x2 y2 z2)");
            ++rows;
        }
    }
    std::fclose(file);
    if (!good) return failAtLine(path, number);
    if (rows != dollNodeCount)
        return dollFail("%s: %d node lines, expected %d (hip, chest, head, rShldr, rForeArm, lShldr, lForeArm, "
                    "rThigh, rShin, lThigh, lShin)",
                    path, rows, dollNodeCount);
    for (int i = 0; i < dollNodeCount; ++i) std::memcpy(doll.nodes[i].posture, posture[i], sizeof posture[i]);
    return 1;
}

int loadDollMotion(DollMotion& motion, const char* path) {
    std::FILE* file = std::fopen(path, "r");
    if (file == nullptr) return dollFail("%s: cannot be read: %s", path, std::strerror(errno));
    DollMotion loaded;
    loaded.keyCount = 0;
    char line[lineCapacity];
    // rows: the node lines the last key has so far; keyLine: where its time stands.
    int number = 0, rows = dollNodeCount, keyLine = 0;
    bool tooLong = false, good = true;
    while (good && nextLine(file, line, number, tooLong)) {
        char* words[maxWords];
        int count = tooLong ? 0 : splitWords(line, words);
        double seconds = 0.0;
        if (tooLong) {
            good = dollFail("line too long");
        } else if (count == 0) {
            continue;
        } else if (rows < dollNodeCount) {
            good = readCounts(words, count, loaded.keys[loaded.keyCount - 1].posture[rows]) ||
                   dollFail("expected node line %d of %d (%s): six whole counts from -128 to 127 (x1 y1 z1 x2 y2 z2)",
                            rows + 1, dollNodeCount, dollNodeNames[rows]);
            ++rows;
        } else if (count == 6 && loaded.keyCount > 0) {
            good = dollFail("more than %d node lines in the key of line %d", dollNodeCount, keyLine);
        } else if (count < 1 || count > 2 || !readSeconds(words[0], seconds) ||
                   (count == 2 && (std::strcmp(words[1], "hold") != 0 || loaded.keyCount == 0))) {
            good = dollFail("expected a key's time: one number, seconds from 0 to %g with at most six decimals, "
                            "and \"hold\" after it to keep the key before",
                            dollMotionLatest);
        } else if (loaded.keyCount > 0 && seconds <= loaded.keys[loaded.keyCount - 1].seconds) {
            good = dollFail("the time %s s is not after the time of the key before (line %d)", words[0], keyLine);
        } else if (loaded.keyCount == dollMotionCapacity) {
            good = dollFail("more than %d keys", dollMotionCapacity);
        } else {
            // A held key is the key before again: the doll stays still from one to the other.
            if (count == 2) std::memcpy(loaded.keys[loaded.keyCount].posture, loaded.keys[loaded.keyCount - 1].posture,
                                        sizeof loaded.keys[0].posture);
            loaded.keys[loaded.keyCount++].seconds = seconds;
            rows = count == 2 ? dollNodeCount : 0;
            keyLine = number;
        }
    }
    std::fclose(file);
    if (good && rows < dollNodeCount)
        good = dollFail("the file ends before node line %d of %d (%s)", rows + 1, dollNodeCount, dollNodeNames[rows]);
    if (!good) return failAtLine(path, number);
    if (loaded.keyCount == 0)
        return dollFail("%s: no key: a motion is a time in seconds and eleven node lines, at least once", path);
    motion.keyCount = loaded.keyCount;
    std::memcpy(motion.keys, loaded.keys, sizeof loaded.keys[0] * static_cast<std::size_t>(loaded.keyCount));
    return 1;
}

int applyDollSetting(Doll& doll, const char* name, const char* value) {
    bool takesValue = std::strcmp(name, "--clear-faults") != 0;
    if (takesValue != (value != nullptr))
        return dollFail(takesValue ? "%s needs a value" : "%s takes no value", name);
    char text[64] = "";
    if (value != nullptr && std::snprintf(text, sizeof text, "%s", value) >= static_cast<int>(sizeof text))
        return dollFail("%s %s: value too long", name, value);
    // KIND@TARGET and N@TARGET: no target means every exchange.
    char* target = std::strchr(text, '@');
    if (target != nullptr) *target++ = '\0';
    bool targets = std::strcmp(name, "--fault") == 0 || std::strcmp(name, "--correct-from") == 0;
    bool once = std::strcmp(name, "--fault-once") == 0;
    if (target != nullptr && !targets && !once) return dollFail("%s %s: no target allowed", name, value);
    DollFaultPlan* plan = targets ? faultPlanOf(doll, target) : nullptr;
    int kind = dollFaultKinds - 1;
    while ((targets || once) && kind >= 0 && std::strcmp(text, dollFaultNames[kind]) != 0) --kind;
    if (targets && plan == nullptr)
        return dollFail("%s %s: the target is a node address in hex (20, 30 to 39) or \"doll\"", name, value);

    long number;
    if (std::strcmp(name, "--clear-faults") == 0) {
        doll.fault = {};
        doll.unitFault = {};
        for (DollNode& node : doll.nodes) node.fault = {};
        doll.faultPercent = 0;
        doll.lostPercent = 0;
        doll.onceKind = FaultNone;
    } else if (once) {
        // KIND@REQUEST[,N]: the Nth line equal to REQUEST from now, the first unless N is given.
        char* count = target != nullptr ? std::strchr(target, ',') : nullptr;
        if (count != nullptr) *count++ = '\0';
        number = 1;
        if (kind <= FaultNone || target == nullptr || target[0] == '\0' ||
            std::strlen(target) >= sizeof doll.onceRequest || (count != nullptr && !readNumber(count, 10, 1, 1000000, number)))
            return dollFail("--fault-once %s: KIND@REQUEST[,N], a fault kind, a request line without its LF and the "
                            "Nth such line from now (1 or more)",
                            value);
        doll.onceKind = static_cast<DollFault>(kind);
        doll.onceLength = std::strlen(target);
        std::memcpy(doll.onceRequest, target, doll.onceLength);
        doll.onceCountdown = static_cast<std::uint32_t>(number);
    } else if (std::strcmp(name, "--fault") == 0) {
        if (kind < 0)
            return dollFail("--fault %s: the kind is one of silent, wrong-echo, cut, lf, garbage, ignore-command, "
                            "lost, lost-cut, lost-garbage, none",
                            value);
        plan->kind = static_cast<DollFault>(kind);
    } else if (std::strcmp(name, "--correct-from") == 0) {
        if (!readNumber(text, 10, 1, 1000000, number)) return dollFail("--correct-from %s: N is 1 or more", value);
        plan->correctFromAttempt = static_cast<std::uint32_t>(number);
    } else if (std::strcmp(name, "--noise") == 0) {
        if (!readNumber(text, 10, 0, 127, number)) return dollFail("--noise %s: counts from 0 to 127", value);
        doll.noise = static_cast<std::uint8_t>(number);
    } else if (std::strcmp(name, "--seed") == 0) {
        char* end;
        errno = 0;
        unsigned long long seed = std::strtoull(text, &end, 10);
        if (errno != 0 || *end != '\0' || text[0] < '0' || text[0] > '9')
            return dollFail("--seed %s: a whole number", value);
        doll.random = seed;
    } else if (std::strcmp(name, "--fault-rate") == 0) {
        if (!readNumber(text, 10, 0, 100, number)) return dollFail("--fault-rate %s: a percentage from 0 to 100", value);
        doll.faultPercent = static_cast<std::uint32_t>(number);
    } else if (std::strcmp(name, "--lost-rate") == 0) {
        if (!readNumber(text, 10, 0, 100, number)) return dollFail("--lost-rate %s: a percentage from 0 to 100", value);
        doll.lostPercent = static_cast<std::uint32_t>(number);
    } else if (std::strcmp(name, "--status") == 0) {
        if (!readHexByte(text, doll.status)) return dollFail("--status %s: a byte in hex (00 to ff)", value);
    } else {
        return dollFail("unknown option %s", name);
    }
    return 1;
}
