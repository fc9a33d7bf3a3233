#include "monitor/keys.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "output/bvh_file.h"
#include "output/pose_file.h"
#include "platform/number_text.h"

char keysFileProblem[200];
long keysFileWholeBytes;

namespace {

// Every part, as the monitor saves a single pose.
constexpr std::uint32_t keysPoseParts = 0x3FFFF;

constexpr const char* keysFileFirstLine = "# Gestalyx keys";

bool fitted(int row) { return !(bodyPartTable[row].flags & NoNode); }

// The rows the keys file has a line for: every node the doll carries,
// switched off or not, so that a file reads the same under any settings.
bool fileRow(int row) { return !(initialBodyPartTable[row].flags & NoNode); }

// The kept frame `back` frames before the newest.
const std::int8_t (&keptFrame(const KeyWatch& watch, int back))[bodyPartCount][6] {
    return watch.frames[(watch.newest - back + keyAverageFrames) % keyAverageFrames];
}

// The widest span of one count of a fitted node over the newest `frames`
// kept frames, with its row in `row` (-1 when fewer than two frames).
int widestSpan(const KeyWatch& watch, int frames, int& row) {
    int widest = 0;
    row = -1;
    for (int r = 0; r < bodyPartCount && frames >= 2; ++r) {
        for (int k = 0; k < 6 && fitted(r); ++k) {
            int low = keptFrame(watch, 0)[r][k], high = low;
            for (int f = 1; f < frames; ++f) {
                low = std::min<int>(low, keptFrame(watch, f)[r][k]);
                high = std::max<int>(high, keptFrame(watch, f)[r][k]);
            }
            if (row < 0 || high - low > widest) {
                widest = high - low;
                row = r;
            }
        }
    }
    return widest;
}

// How many of the newest kept frames are still together: the longest run
// ending at the newest in which no count spans more than keyStillBand.
int stillFrames(const KeyWatch& watch) {
    if (watch.kept == 0) return 0;
    std::int8_t low[bodyPartCount][6], high[bodyPartCount][6];
    std::memcpy(low, keptFrame(watch, 0), sizeof low);
    std::memcpy(high, keptFrame(watch, 0), sizeof high);
    for (int run = 1; run < watch.kept; ++run)
        for (int r = 0; r < bodyPartCount; ++r)
            for (int k = 0; k < 6 && fitted(r); ++k) {
                low[r][k] = std::min(low[r][k], keptFrame(watch, run)[r][k]);
                high[r][k] = std::max(high[r][k], keptFrame(watch, run)[r][k]);
                if (high[r][k] - low[r][k] > keyStillBand) return run;
            }
    return watch.kept;
}

// The average of the `frames` kept frames that end `back` frames before the newest.
void averageFrames(const KeyWatch& watch, int back, int frames, Key& key) {
    for (int r = 0; r < bodyPartCount; ++r)
        for (int k = 0; k < 6; ++k) {
            int sum = 0;
            for (int f = back; f < back + frames; ++f) sum += keptFrame(watch, f)[r][k];
            key.vectors[r][k] = fitted(r) ? std::round(sum * 10.0 / frames) / 10 : 0.0;
        }
}

bool countInRange(double value) { return value >= -128.0 && value <= 127.0; }

// A key the file can hold and the motion writers take: its hold within 1 to
// keyHoldLimit and its counts within those of a sensor (which NaN is not).
bool keyInRange(const Key& key) {
    if (key.hold < 1 || key.hold > keyHoldLimit) return false;
    for (const auto& vectors : key.vectors)
        for (double value : vectors)
            if (!countInRange(value)) return false;
    return true;
}

bool keysInRange(const Key* keys, int count) {
    if (count < 1 || count > keyLimit) return false;
    for (int i = 0; i < count; ++i)
        if (!keyInRange(keys[i])) return false;
    return true;
}

// The keys saveKeysBvh is writing, and what its frame source keeps from one
// output frame to the next.
const Key* savedKeys;
int savedCount, savedGrounded;
int keyAt, keyAtFrame;     // the key at or before the frame asked for, and its frame
PoseFrame previousAngles;  // the last frame's channels, which the next one stays near

// The nodes' world rotations `share` of the way from key `from` to key `to`.
void blendKeys(const Key& from, const Key& to, double share, Rotation world[bodyPartCount]) {
    for (int row = 0; row < bodyPartCount; ++row)
        world[row] = fitted(row) ? slerp(sensorRotation(row, from.vectors[row]), sensorRotation(row, to.vectors[row]), share)
                                 : identityRotation;
}

// Output frame `index`; frames are asked for in order from 0.
void keyedFrame(int index, PoseFrame& angles) {
    if (index == 0) {
        keyAt = keyAtFrame = 0;
        previousAngles = PoseFrame{};
    }
    while (keyAt + 1 < savedCount && keyAtFrame + savedKeys[keyAt].hold <= index)
        keyAtFrame += savedKeys[keyAt++].hold;
    const bool last = keyAt + 1 == savedCount;
    Rotation world[bodyPartCount];
    blendKeys(savedKeys[keyAt], savedKeys[last ? keyAt : keyAt + 1],
              last ? 0.0 : static_cast<double>(index - keyAtFrame) / savedKeys[keyAt].hold, world);
    solveFigureAngles(world, savedGrounded, previousAngles);
    angles = previousAngles;
}

// The counts nearest the key's averages (halves away from zero), for the
// host's solver, which reads counts. Keys in range give counts in range.
void nearestCounts(const Key& key, std::int8_t sensor[bodyPartCount][6]) {
    for (int row = 0; row < bodyPartCount; ++row)
        for (int k = 0; k < 6; ++k) sensor[row][k] = static_cast<std::int8_t>(std::lround(key.vectors[row][k]));
}

// Formats the fault into keysFileProblem and returns 0, for `return keysFileFault(...)`.
[[gnu::format(printf, 1, 2)]] int keysFileFault(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(keysFileProblem, sizeof keysFileProblem, format, arguments);
    va_end(arguments);
    return 0;
}

// Moves `text` past `word` when it starts with it.
bool skipWord(const char*& text, const char* word) {
    const std::size_t length = std::strlen(word);
    if (std::strncmp(text, word, length) != 0) return false;
    text += length;
    return true;
}

// Moves `text` past white space; true when there was some.
bool skipBlanks(const char*& text) {
    const char* start = text;
    while (isWhiteSpace(*text)) ++text;
    return text != start;
}

// Decimal digits at `text` into `value`, which may not exceed `limit`.
bool readDigits(const char*& text, int limit, int& value) {
    if (*text < '0' || *text > '9') return false;
    for (value = 0; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > limit) return false;
    }
    return true;
}

// A count with one decimal as appendKeyToFile writes it, -128.0 to 127.0.
// Read as tenths and divided once, it is the very number that was written.
bool readCount(const char*& text, double& value) {
    const bool negative = skipWord(text, "-");
    int whole;
    if (!readDigits(text, 128, whole) || !skipWord(text, ".") || *text < '0' || *text > '9') return false;
    const int tenths = whole * 10 + (*text++ - '0');
    value = (negative ? -tenths : tenths) / 10.0;
    return countInRange(value);
}

// "key <number> hold <hold>".
bool readKeyLine(const char* text, int number, int& hold) {
    int found;
    if (!skipWord(text, "key ") || !readDigits(text, keyLimit, found) || found != number ||
        !skipWord(text, " hold ") || !readDigits(text, keyHoldLimit, hold) || hold < 1)
        return false;
    skipBlanks(text);
    return *text == '\0';
}

// Six counts, then optionally "# <the row's name>".
bool readNodeLine(const char* text, int row, double vectors[6]) {
    for (int k = 0; k < 6; ++k)
        if ((k > 0 && !skipBlanks(text)) || !readCount(text, vectors[k])) return false;
    skipBlanks(text);
    if (skipWord(text, "#")) {
        skipBlanks(text);
        if (!skipWord(text, bodyPartTable[row].name)) return false;
        skipBlanks(text);
    }
    return *text == '\0';
}

// The next row the file has a line for after `row`, or bodyPartCount.
int nextFileRow(int row) {
    while (++row < bodyPartCount && !fileRow(row)) continue;
    return row;
}

// The lines of the open keys file; see readKeysFile.
int readKeyLines(std::FILE* file, Key* keys, int capacity, int& count) {
    char line[256];
    int row = bodyPartCount;  // the row of the next node line; bodyPartCount while a key line is due
    for (int number = 1; std::fgets(line, sizeof line, file) != nullptr; ++number) {
        char* end = std::strchr(line, '\n');
        if (end != nullptr) *end = '\0';
        if (number == 1 && std::strcmp(line, keysFileFirstLine) != 0)
            return keysFileFault("1 行目が「%s」ではありません。", keysFileFirstLine);
        // A last line without its LF was being appended: the key it belongs to is dropped.
        if (end == nullptr && std::feof(file)) break;
        if (end == nullptr) return keysFileFault("%d 行目が長すぎるか、テキストではありません。", number);
        if (number == 1) {
            keysFileWholeBytes = std::ftell(file);
            continue;
        }
        if (row == bodyPartCount && std::strcmp(line, "undo") == 0) {
            if (count == 0) return keysFileFault("%d 行目: 取り消すキーがありません。", number);
            --count;
        } else if (row == bodyPartCount) {
            if (count == capacity) return keysFileFault("%d 行目: キーが %d を超えています。", number, capacity);
            Key& key = keys[count];
            if (!readKeyLine(line, count + 1, key.hold))
                return keysFileFault("%d 行目: 「key %d hold <1 から %d>」が必要です。", number, count + 1, keyHoldLimit);
            std::memset(key.vectors, 0, sizeof key.vectors);
            row = nextFileRow(-1);
        } else {
            if (!readNodeLine(line, row, keys[count].vectors[row]))
                return keysFileFault("%d 行目: -128.0 から 127.0 までの小数 1 桁の値 6 つと「# %s」が必要です。",
                                     number, bodyPartTable[row].name);
            row = nextFileRow(row);
            if (row == bodyPartCount) ++count;
        }
        if (row == bodyPartCount) keysFileWholeBytes = std::ftell(file);
    }
    return std::ferror(file) ? keysFileFault("ファイルを読み取れません。") : 1;
}

}  // namespace

void clearKeyWatch(KeyWatch& watch) {
    watch.kept = watch.newest = 0;
    watch.asked = false;
    watch.stillRun = 0;
}

void askForKey(KeyWatch& watch, double now) {
    watch.asked = true;
    watch.askedAt = now;
    watch.stillRun = 0;
}

KeyWatchResult watchFrame(KeyWatch& watch, const MonitorFrame& frame, Key& key, int& row) {
    row = -1;
    bool before = false, late = false;
    for (int r = 0; r < bodyPartCount; ++r) {
        if (!fitted(r)) continue;
        before = before || frame.readAt[r] < watch.askedAt;
        late = late || frame.readAt[r] > watch.askedAt + keyWaitLimit;
    }
    const bool deciding = watch.asked && !before;
    if (frame.failedRows != 0) {
        watch.kept = 0;
        if (!deciding) return KeyWaiting;
        watch.asked = false;
        row = firstFailedRow(frame.failedRows);
        return KeyNodeFailed;
    }
    watch.newest = (watch.newest + 1) % keyAverageFrames;
    std::memcpy(watch.frames[watch.newest], frame.sensor, sizeof frame.sensor);
    if (watch.kept < keyAverageFrames) ++watch.kept;
    if (!deciding) return KeyWaiting;
    const int still = stillFrames(watch);
    if (still < watch.stillRun + 1 && watch.stillRun >= keyStillFrames) {
        averageFrames(watch, 1, watch.stillRun, key);  // moved again: the still frames before this one
    } else if (still >= keyAverageFrames) {
        averageFrames(watch, 0, keyAverageFrames, key);
    } else {
        watch.stillRun = still >= keyStillFrames ? still : 0;
        if (watch.stillRun != 0 || !late) return KeyWaiting;
        watch.asked = false;
        widestSpan(watch, std::min(watch.kept, keyStillFrames), row);
        return KeyNodeMoving;
    }
    watch.asked = false;
    return KeyTaken;
}

int keyFrame(const Key* keys, int index) {
    int frame = 0;
    for (int i = 0; i < index; ++i) frame += keys[i].hold;
    return frame;
}

void keysWorldAt(const Key* keys, int count, int index, Rotation world[bodyPartCount]) {
    int at = 0, atFrame = 0;
    while (at + 1 < count && atFrame + keys[at].hold <= index) atFrame += keys[at++].hold;
    const bool last = at + 1 >= count;
    blendKeys(keys[at], keys[last ? at : at + 1], last ? 0.0 : static_cast<double>(index - atFrame) / keys[at].hold,
              world);
}

int saveKeysBvh(const Key* keys, int count, int rate, int grounded, const char* fileName) {
    if (rate <= 0 || !keysInRange(keys, count)) return 0;
    savedKeys = keys;
    savedCount = count;
    savedGrounded = grounded;
    const int saved = writeBvhAnimation(fileName, keysFrameCount(keys, count), 1.0 / rate, keyedFrame);
    savedKeys = nullptr;
    return saved;
}

int saveKeysPoseFile(const Key* keys, int count, const char* fileName) {
    if (!keysInRange(keys, count)) return 0;
    PoseKey* poseKeys = static_cast<PoseKey*>(std::malloc(sizeof(PoseKey) * static_cast<std::size_t>(count)));
    if (poseKeys == nullptr) return 0;
    for (int i = 0; i < count; ++i) {
        std::int8_t sensor[bodyPartCount][6];
        nearestCounts(keys[i], sensor);
        solveMonitorFrame(sensor);
        tableKey(keyFrame(keys, i), poseKeys[i]);
    }
    const int written = writePoseKeys(fileName, keysPoseParts, poseKeys, count);
    std::free(poseKeys);
    return written;
}

int appendKeyToFile(const char* fileName, const Key& key, int number) {
    if (!keyInRange(key) || number < 1 || number > keyLimit) return 0;
    std::FILE* file = std::fopen(fileName, "ab");
    if (file == nullptr) return 0;
    // Where "ab" starts is the library's choice: the end is asked for.
    const long size = std::fseek(file, 0, SEEK_END) == 0 ? std::ftell(file) : -1;
    // At most 16 + 30 + 11 * (6 * 7 + 12) bytes: every count is within -128.0 to 127.0.
    char text[1024];
    int length = 0;
    if (size == 0) length += std::snprintf(text, sizeof text, "%s\n", keysFileFirstLine);
    length += std::snprintf(text + length, sizeof text - length, "key %d hold %d\n", number, key.hold);
    for (int row = 0; row < bodyPartCount; ++row) {
        if (!fileRow(row)) continue;
        const double* v = key.vectors[row];
        length += std::snprintf(text + length, sizeof text - length, "%s %s %s %s %s %s # %s\n",
                                fixedText(v[0], 1).text, fixedText(v[1], 1).text, fixedText(v[2], 1).text,
                                fixedText(v[3], 1).text, fixedText(v[4], 1).text, fixedText(v[5], 1).text,
                                bodyPartTable[row].name);
    }
    const std::size_t bytes = static_cast<std::size_t>(length);
    const bool written = size >= 0 && std::fwrite(text, 1, bytes, file) == bytes;
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

int appendUndoToFile(const char* fileName) {
    std::FILE* file = std::fopen(fileName, "ab");
    if (file == nullptr) return 0;
    const bool written = std::fputs("undo\n", file) >= 0;
    return (std::fclose(file) == 0) && written;
}

int readKeysFile(const char* fileName, Key* keys, int capacity, int& count) {
    count = 0;
    keysFileProblem[0] = '\0';
    keysFileWholeBytes = 0;
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) return keysFileFault("ファイルを開けません。");
    const int read = readKeyLines(file, keys, capacity, count);
    std::fclose(file);
    if (!read) count = 0;
    return read;
}
