#include "hardware_settings/hardware_settings.h"

#include <cstdio>

#include "device/node_operations.h"
#include "device/node_protocol.h"
#include "model/body_parts.h"
#include "platform/error_report.h"
#include "platform/platform.h"

int settingsMode;
int switchSource;

namespace {

char timeOfDayText[16];
char surveyMessage[256];

}  // namespace

int checkNode(int row) {
    BodyPart& part = bodyPartTable[row];
    if (part.flags & NoNode) return 0;
    return clearCommand(part.nodeAddress) && readFirmwareVersion(part.nodeAddress, &part.firmwareVersion) &&
           readActiveOffsets(part.nodeAddress, part.offsetActive) &&
           readStoredOffsets(part.nodeAddress, part.offsetStored);
}

int surveyNodes() {
    for (int row = 0; row < bodyPartCount; ++row) {
        const BodyPart& part = bodyPartTable[row];
        if (part.flags & NoNode) continue;
        if (!checkNode(row)) {
            std::snprintf(surveyMessage, sizeof surveyMessage, "%s (%s) ノードの情報が取得できませんでした。",
                          part.label, part.name);
            reportError(surveyMessage);
            return 0;
        }
    }
    std::uint8_t source;
    if (!readSwitchSource(&source)) {
        reportError("スイッチ・LEDの設定が取得できませんでした。");
        return 0;
    }
    switchSource = source;
    return 1;
}

const char* formatTimeOfDay() {
    LocalTime now = currentLocalTime();
    std::snprintf(timeOfDayText, sizeof timeOfDayText, "%02u:%02u:%02u", now.hour, now.minute, now.second);
    return timeOfDayText;
}
