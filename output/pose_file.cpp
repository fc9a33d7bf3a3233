#include "output/pose_file.h"

#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <limits>

#include "platform/error_report.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "model/body_parts.h"

std::FILE* poseFile = nullptr;
int writeFailed = 0;
const char* captureLabel = "DEMO";

namespace {

// The file name is the program's own short constant. snprintf cuts anything
// longer, and the conversion for the screen copes with a cut last character.
char message[512];

// Each formatting overwrites it. Six numbers of up to ten digits and five separators.
char dateTimeText[72];

// "%f" of the largest double: 309 integer digits, sign, point, six decimals, NUL.
struct Decimal {
    char text[std::numeric_limits<double>::max_exponent10 + 1 + 1 + 1 + 6 + 1];
};

constexpr std::uint64_t powersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// Writes the decimal digits of `value`, most significant first.
char* putDigits(char* out, std::uint64_t value) {
    char reversed[20];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) *out++ = reversed[--count];
    return out;
}

// Writes the integer `significand` x 2^`exponent` (exponent 0 to 971): the
// digits are kept in base 10^9 pieces, least significant first, and doubled
// several times a pass. A piece is below 2^30, so shifted by 31 it leaves
// room in 64 bits for the carry.
char* putLargeInteger(char* out, std::uint64_t significand, int exponent) {
    constexpr std::uint64_t pieceBase = 1000000000;
    constexpr int shiftPerPass = 31;
    std::uint32_t pieces[(std::numeric_limits<double>::max_exponent10 + 1 + 8) / 9];
    int count = 0;
    for (; significand != 0; significand /= pieceBase)
        pieces[count++] = static_cast<std::uint32_t>(significand % pieceBase);
    for (; exponent > 0; exponent -= shiftPerPass) {
        int shift = exponent < shiftPerPass ? exponent : shiftPerPass;
        std::uint64_t carry = 0;
        for (int i = 0; i < count; ++i) {
            std::uint64_t piece = (std::uint64_t{pieces[i]} << shift) + carry;
            pieces[i] = static_cast<std::uint32_t>(piece % pieceBase);
            carry = piece / pieceBase;
        }
        for (; carry != 0; carry /= pieceBase) pieces[count++] = static_cast<std::uint32_t>(carry % pieceBase);
    }
    out = putDigits(out, pieces[--count]);
    while (count > 0) {
        std::uint32_t piece = pieces[--count];
        for (std::uint32_t unit = pieceBase / 10; unit != 0; unit /= 10)
            *out++ = static_cast<char>('0' + piece / unit % 10);
    }
    return out;
}

// `value` with `decimals` places (0 to 6), as "%.*f" writes it in the C
// locale: the exact binary value rounded half to even, a minus for every
// negative value (also one that rounds to zero, and -0), "inf" and "nan"
// with their sign. The file must carry '.' under any locale, and printf
// follows LC_NUMERIC. The last byte, never written, ends the text.
Decimal fixedText(double value, int decimals) {
    Decimal out{};
    char* next = out.text;
    if (std::signbit(value)) *next++ = '-';
    std::uint64_t bits = std::bit_cast<std::uint64_t>(value);
    constexpr int fractionBits = std::numeric_limits<double>::digits - 1;
    constexpr std::uint64_t fractionMask = (std::uint64_t{1} << fractionBits) - 1;
    constexpr int exponentAll = 2 * std::numeric_limits<double>::max_exponent - 1;
    int biased = static_cast<int>(bits >> fractionBits) & exponentAll;
    std::uint64_t significand = bits & fractionMask;
    if (biased == exponentAll) {
        std::memcpy(next, significand != 0 ? "nan" : "inf", 3);
        return out;
    }
    if (biased != 0) significand |= fractionMask + 1;
    // value = significand x 2^exponent; subnormals share the smallest exponent.
    int exponent = (biased != 0 ? biased : 1) - (std::numeric_limits<double>::max_exponent - 1) - fractionBits;
    std::uint64_t fraction = 0;
    if (exponent >= 0) {
        next = putLargeInteger(next, significand, exponent);
    } else {
        // The value times 10^decimals fits 53 + 20 bits; what is shifted out
        // decides the rounding. With a shift beyond 127 bits it is below a half.
        unsigned __int128 scaled = static_cast<unsigned __int128>(significand) * powersOfTen[decimals];
        unsigned __int128 rounded = 0;
        int shift = -exponent;
        if (shift < 128) {
            rounded = scaled >> shift;
            unsigned __int128 rest = scaled - (rounded << shift);
            unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
            if (rest > half || (rest == half && (rounded & 1) != 0)) ++rounded;
        }
        fraction = static_cast<std::uint64_t>(rounded % powersOfTen[decimals]);
        next = putDigits(next, static_cast<std::uint64_t>(rounded / powersOfTen[decimals]));
    }
    if (decimals == 0) return out;
    *next++ = '.';
    for (std::uint64_t unit = powersOfTen[decimals - 1]; unit != 0; unit /= 10)
        *next++ = static_cast<char>('0' + fraction / unit % 10);
    return out;
}

// `radians` in degrees with `decimals` places.
Decimal degreesText(double radians, int decimals) { return fixedText(toDegrees(radians), decimals); }

// Formatted lines are tried even after a failed write; only putLine skips.
[[gnu::format(printf, 1, 2)]] void putFormatted(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (std::vfprintf(poseFile, format, arguments) < 0) writeFailed = 1;
    va_end(arguments);
}

void reportPoseFileError(const char* fileName, const char* tail) {
    std::snprintf(message, sizeof message, "一時ファイル (%s) %s", fileName, tail);
    reportError(message);
}

const char* formatDateTime() {
    LocalTime now = currentLocalTime();
    std::snprintf(dateTimeText, sizeof dateTimeText, "%u/%02u/%02u %02u:%02u:%02u", now.year, now.month,
                  now.day, now.hour, now.minute, now.second);
    return dateTimeText;
}

void writeHeader() {
    putLine("{");
    putLine("");
    putLine("version");
    putLine("\t{");
    putLine("\tnumber 6");
    putLine("\t}");
    putLine("");
}

// The frame number 0 has two blanks on either side.
void writeChannel(const char* channelLine, double radians) {
    putLine(channelLine);
    putLine("\t\t\t{");
    putLine("\t\t\tkeys");
    putLine("\t\t\t\t{");
    putFormatted("\t\t\t\tk  0  %s\n", degreesText(radians, 6).text);
    putLine("\t\t\t\t}");
    putLine("\t\t\t}");
}

void writeActorBlock(const BodyPart& row) {
    putFormatted("actor %s:1\n", row.name);
    putLine("\t{");
    putLine("\tchannels");
    putLine("\t\t{");
    // Channel order Y, X, Z: roll, bend, side.
    writeChannel("\t\trotateY yrot", row.jointAngles[2]);
    writeChannel("\t\trotateX xrot", row.jointAngles[0]);
    writeChannel("\t\trotateZ zrot", row.jointAngles[1]);
    putLine("\t\t}");
    putLine("\t}");
    putLine("");
}

// Columns under the header line: name, both sensor vectors, then bend, side
// and roll of the node's orientation and of the joint.
void writeDiagnosticRow(const BodyPart& row) {
    const std::int8_t* sensor = row.sensor;
    putFormatted("%-8s (%3d %3d %3d) (%3d %3d %3d) ", row.name, sensor[0], sensor[1], sensor[2], sensor[3],
                 sensor[4], sensor[5]);
    const double* node = row.absoluteAngles;
    const double* joint = row.jointAngles;
    putFormatted("%6s %6s %6s   %6s %6s %6s\n", degreesText(node[0], 1).text, degreesText(node[1], 1).text,
                 degreesText(node[2], 1).text, degreesText(joint[0], 1).text, degreesText(joint[1], 1).text,
                 degreesText(joint[2], 1).text);
}

void writeDiagnosticBlock() {
    putLine("{");
    putFormatted("%s %s %s\n", programName, programVersion, captureLabel);
    putLine(formatDateTime());
    putLine("name     ( x1  y1  z1) ( x2  y2  z2)   bend   side   roll     bend   side   roll");
    for (const BodyPart& row : bodyPartTable)
        if (!(row.flags & NoNode)) writeDiagnosticRow(row);
    putLine("}");
}

}  // namespace

double toDegrees(double radians) { return radians * 180 / 3.141592653589793; }

void putLine(const char* text) {
    if (poseFile == nullptr || writeFailed) return;
    if (std::fputs(text, poseFile) < 0 || std::fputc('\n', poseFile) == EOF) writeFailed = 1;
}

int writePoseFile(const char* fileName, std::uint32_t selectionMask) {
    poseFile = std::fopen(fileName, "wb");
    if (poseFile == nullptr) {
        reportPoseFileError(fileName, "を作成できません。");
        return 0;
    }
    writeHeader();
    for (int row = 0; row < bodyPartCount; ++row)
        if (selectionMask & (std::uint32_t{1} << row)) writeActorBlock(bodyPartTable[row]);
    putLine("}");
    writeDiagnosticBlock();
    // Buffered output may fail only here, when the rest reaches the disk.
    int closed = std::fclose(poseFile) == 0;
    poseFile = nullptr;
    if (!closed || writeFailed) {
        reportPoseFileError(fileName, "に書き込めません。");
        return 0;
    }
    return 1;
}
