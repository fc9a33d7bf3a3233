#include "output/pose_file.h"

#include <charconv>
#include <cstdarg>
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

// `radians` in degrees as "%.*f" writes them in the C locale: the file must
// carry '.' under any locale, and printf follows LC_NUMERIC. The last byte,
// never written, ends the text.
Decimal degreesText(double radians, int decimals) {
    Decimal out{};
    std::to_chars(out.text, out.text + sizeof out.text - 1, toDegrees(radians), std::chars_format::fixed,
                  decimals);
    return out;
}

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
