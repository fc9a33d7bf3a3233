// The settings mode's start: the command-line switch that selects it, and the
// node survey, which fills the table from every node and stops at the first
// node or unit that does not answer, with one message.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "device/node_protocol.h"
#include "model/body_parts.h"
#include "settings/hardware_settings.h"
#include "tests/native/doll_port.h"
#include "tests/native/fake_platform.h"

namespace {

TEST(SettingsSwitch, OnlyTheWholeSwitchInAnyCaseSelectsTheMode) {
    const struct {
        const char* argument;
        int settings;
    } cases[] = {
        {"/settings", 1}, {"-settings", 1}, {"/SETTINGS", 1}, {" \t-Settings  ", 1},
        {"/settings x", 0}, {"/settingsx", 0}, {"/setting", 0}, {"settings", 0}, {"7f", 0}, {"", 0},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.argument);
        EXPECT_EQ(isSettingsSwitch(row.argument), row.settings);
    }
}

// Every node of the doll with its own firmware version and offsets, active
// ones apart from stored ones, and a switch/LED source of 2.
void prepareDoll() {
    resetFakePlatform();
    resetDollPort();
    for (int i = 0; i < dollNodeCount; ++i) {
        DollNode& node = dollPort.doll.nodes[i];
        node.firmwareVersion = static_cast<std::uint8_t>(0x20 + i);
        for (int axis = 0; axis < 3; ++axis) node.storedOffset[axis] = static_cast<std::int16_t>(100 * axis - 1024 + i);
    }
    dollPort.doll.switchSource = 2;
    powerUpDoll(dollPort.doll);  // active offsets from the stored ones, then changed
    for (int i = 0; i < dollNodeCount; ++i)
        for (int axis = 0; axis < 3; ++axis)
            dollPort.doll.nodes[i].activeOffset[axis] = static_cast<std::int16_t>(1023 - 100 * axis - i);
}

TEST(NodeSurvey, EveryNodeAndTheSourceGoIntoTheTable) {
    prepareDoll();
    switchSource = 0;
    EXPECT_EQ(surveyNodes(), 1);
    EXPECT_TRUE(fakePlatform.errorBoxes.empty());
    EXPECT_EQ(switchSource, 2);  // stored as read
    // Eleven nodes of 22 exchanges each, then the source.
    ASSERT_EQ(dollPort.requests.size(), 11u * 22 + 1);
    EXPECT_EQ(dollPort.requests.back(), "u\n");
    int node = 0;
    for (const BodyPart& part : bodyPartTable) {
        SCOPED_TRACE(part.name);
        if (part.flags & NoNode) {
            EXPECT_EQ(part.firmwareVersion, 0);
            continue;
        }
        const DollNode& doll = dollPort.doll.nodes[node++];
        EXPECT_EQ(part.nodeAddress, doll.address);
        EXPECT_EQ(part.firmwareVersion, doll.firmwareVersion);
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_EQ(part.offsetActive[axis], doll.activeOffset[axis]);
            EXPECT_EQ(part.offsetStored[axis], doll.storedOffset[axis]);
        }
    }
}

// The doll's own replies to the first `answered` requests of a whole survey,
// then none for the three attempts of the next exchange.
std::deque<std::string> repliesUpTo(std::size_t answered) {
    prepareDoll();
    Doll doll = dollPort.doll;
    surveyNodes();
    std::vector<std::string> requests = dollPort.requests;
    prepareDoll();
    std::deque<std::string> replies;
    char reply[dollReplyCapacity];
    for (std::size_t i = 0; i < answered; ++i) {
        std::string bytes;
        for (char byte : requests[i]) bytes.append(reply, receiveDollByte(doll, static_cast<unsigned char>(byte), reply));
        replies.push_back(bytes);
    }
    replies.insert(replies.end(), exchangeAttempts, std::string());
    return replies;
}

TEST(NodeSurvey, TheFirstFailureIsReportedAndNothingAfterItIsContacted) {
    const struct {
        const char* what;
        std::size_t answered;
        const char* message;
    } cases[] = {
        {"hip silent", 0, "腰部 (hip) ノードの情報が取得できませんでした。"},
        // hip and chest whole, then head's clearCommand and firmware version.
        {"head fails at readActiveOffsets", 2 * 22 + 4, "頭部 (head) ノードの情報が取得できませんでした。"},
        {"lShin fails at its last read", 11 * 22 - 1, "左膝下 (lShin) ノードの情報が取得できませんでした。"},
        {"switch/LED source unread", 11 * 22, "スイッチ・LEDの設定が取得できませんでした。"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        std::deque<std::string> replies = repliesUpTo(row.answered);
        dollPort.scriptedReplies = replies;
        switchSource = 7;
        EXPECT_EQ(surveyNodes(), 0);
        EXPECT_EQ(fakePlatform.errorBoxes, std::vector<std::string>{row.message});
        EXPECT_EQ(dollPort.requests.size(), row.answered + exchangeAttempts);
        EXPECT_EQ(switchSource, 7);
    }
    // A failing row keeps what was read before the failure: head's version.
    repliesUpTo(2 * 22 + 4).swap(dollPort.scriptedReplies);
    surveyNodes();
    EXPECT_EQ(bodyPartTable[5].firmwareVersion, 0x22);
    EXPECT_EQ(bodyPartTable[5].offsetActive[0], 0);
}

TEST(NodeSurvey, APartWithoutANodeIsNeverContacted) {
    prepareDoll();
    EXPECT_EQ(checkNode(1), 0);  // waist
    bodyPartTable[5].flags |= NoNode;  // head switched off by the settings file
    EXPECT_EQ(checkNode(5), 0);
    EXPECT_TRUE(dollPort.requests.empty());
}

}  // namespace
