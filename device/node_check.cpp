#include "device/node_check.h"

#include <cstdio>

#include "device/node_operations.h"
#include "model/body_parts.h"
#include "platform/error_report.h"

namespace {

// Label and name are the table's own short texts; snprintf cuts anything
// longer, and the conversion for the screen copes with a cut last character.
char message[192];

void reportNode(const BodyPart& part, const char* tail) {
    std::snprintf(message, sizeof message, "%s (%s) %s", part.label, part.name, tail);
    reportError(message);
}

}  // namespace

int checkPartNode(int row) {
    BodyPart& part = bodyPartTable[row];
    if (clearCommand(part.nodeAddress) && readFirmwareVersion(part.nodeAddress, &part.firmwareVersion)) return 1;
    reportNode(part, "ノードの情報が取得できませんでした。");
    return 0;
}

int readLiveSensorVectors() {
    for (BodyPart& part : bodyPartTable) {
        if (part.flags & NoNode) continue;
        if (!readSensorVectors(part.nodeAddress, part.sensor)) {
            reportNode(part, "ノードのセンサ値が取得できませんでした。");
            return 0;
        }
    }
    return 1;
}
