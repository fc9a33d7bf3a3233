#include "output/pose_file.h"

#include "output/output_file.h"
#include "platform/number_text.h"
#include "platform/platform.h"
#include "platform/program.h"
#include "model/body_parts.h"

std::FILE* poseFile = nullptr;
int writeFailed = 0;
const char* captureLabel = "DEMO";

namespace {

// The messages name the file as the temporary file the host reads.
constexpr const char* poseFileKind = "一時ファイル";

// Each formatting overwrites it. Six numbers of up to ten digits and five separators.
char dateTimeText[72];

// `radians` in degrees with `decimals` places.
Decimal degreesText(double radians, int decimals) { return fixedText(toDegrees(radians), decimals); }

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

// One key line a key, its frame number with two blanks on either side.
void writeChannel(const char* channelLine, const PoseKey* keys, int count, int row, int angle) {
    putLine(channelLine);
    putLine("\t\t\t{");
    putLine("\t\t\tkeys");
    putLine("\t\t\t\t{");
    for (int i = 0; i < count; ++i)
        putOutput(poseFile, writeFailed, "\t\t\t\tk  %d  %s\n", keys[i].frame,
                  degreesText(keys[i].jointAngles[row][angle], 6).text);
    putLine("\t\t\t\t}");
    putLine("\t\t\t}");
}

void writeActorBlock(int row, const PoseKey* keys, int count) {
    putOutput(poseFile, writeFailed, "actor %s:1\n", bodyPartTable[row].name);
    putLine("\t{");
    putLine("\tchannels");
    putLine("\t\t{");
    // Channel order Y, X, Z: roll, bend, side.
    writeChannel("\t\trotateY yrot", keys, count, row, 2);
    writeChannel("\t\trotateX xrot", keys, count, row, 0);
    writeChannel("\t\trotateZ zrot", keys, count, row, 1);
    putLine("\t\t}");
    putLine("\t}");
    putLine("");
}

// Columns under the header line: name, both sensor vectors, then bend, side
// and roll of the node's orientation and of the joint.
void writeDiagnosticRow(const BodyPart& row) {
    const std::int8_t* sensor = row.sensor;
    putOutput(poseFile, writeFailed, "%-8s (%3d %3d %3d) (%3d %3d %3d) ", row.name, sensor[0], sensor[1],
              sensor[2], sensor[3], sensor[4], sensor[5]);
    const double* node = row.absoluteAngles;
    const double* joint = row.jointAngles;
    putOutput(poseFile, writeFailed, "%6s %6s %6s   %6s %6s %6s\n", degreesText(node[0], 1).text,
              degreesText(node[1], 1).text, degreesText(node[2], 1).text, degreesText(joint[0], 1).text,
              degreesText(joint[1], 1).text, degreesText(joint[2], 1).text);
}

void writeDiagnosticBlock() {
    putLine("{");
    putOutput(poseFile, writeFailed, "%s %s %s\n", programName, programVersion, captureLabel);
    putLine(formatDateTime());
    putLine("name     ( x1  y1  z1) ( x2  y2  z2)   bend   side   roll     bend   side   roll");
    for (const BodyPart& row : bodyPartTable)
        if (!(row.flags & NoNode)) writeDiagnosticRow(row);
    putLine("}");
}

}  // namespace

double toDegrees(double radians) { return radians * 180 / 3.141592653589793; }

// Only lines without values are skipped after a failed write; those with
// values go through putOutput and are tried whatever happened before.
void putLine(const char* text) {
    if (poseFile == nullptr || writeFailed) return;
    if (std::fputs(text, poseFile) < 0 || std::fputc('\n', poseFile) == EOF) writeFailed = 1;
}

int writePoseKeys(const char* fileName, std::uint32_t selectionMask, const PoseKey* keys, int count) {
    writeFailed = 0;
    poseFile = createOutputFile(poseFileKind, fileName);
    if (poseFile == nullptr) return 0;
    writeHeader();
    for (int row = 0; row < bodyPartCount; ++row)
        if (selectionMask & (std::uint32_t{1} << row)) writeActorBlock(row, keys, count);
    putLine("}");
    writeDiagnosticBlock();
    std::FILE* written = poseFile;
    poseFile = nullptr;
    return closeOutputFile(written, writeFailed, poseFileKind, fileName);
}

void tableKey(int frame, PoseKey& key) {
    key.frame = frame;
    for (int row = 0; row < bodyPartCount; ++row)
        for (int k = 0; k < 3; ++k) key.jointAngles[row][k] = bodyPartTable[row].jointAngles[k];
}

int writePoseFile(const char* fileName, std::uint32_t selectionMask) {
    PoseKey key;
    tableKey(0, key);
    return writePoseKeys(fileName, selectionMask, &key, 1);
}
