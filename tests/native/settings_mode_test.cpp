// The node survey of the settings mode: it fills the table from every node,
// then reads the switch/LED source, and stops at the first node or unit that
// does not answer, with one message.
#include <gtest/gtest.h>

#include "device/node_protocol.h"
#include "model/body_parts.h"
#include "settings/hardware_settings.h"
#include "tests/native/doll_port.h"
#include "tests/native/fake_platform.h"

namespace {

// The doll answers the first `answered` requests of the survey, then none.
// Its nodes have firmware versions 0x20 on, in table order, and its source is 2.
TEST(NodeSurvey, TheFirstFailureIsReportedAndNothingAfterItIsContacted) {
    constexpr std::size_t wholeSurvey = 11 * 22 + 1;  // eleven nodes of 22 exchanges, then the source
    const struct {
        std::size_t answered;
        const char* message;  // null: the survey succeeds
    } cases[] = {
        {wholeSurvey, nullptr},
        {0, "腰部 (hip) ノードの情報が取得できませんでした。"},
        {11 * 22 - 1, "左膝下 (lShin) ノードの情報が取得できませんでした。"},
        {11 * 22, "スイッチ・LEDの設定が取得できませんでした。"},
        // hip and chest whole, then head's clearCommand and firmware version
        {2 * 22 + 4, "頭部 (head) ノードの情報が取得できませんでした。"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.answered);
        resetFakePlatform();
        resetDollPort();
        for (int i = 0; i < dollNodeCount; ++i)
            dollPort.doll.nodes[i].firmwareVersion = static_cast<std::uint8_t>(0x20 + i);
        dollPort.doll.switchSource = 2;
        dollPort.answerLimit = row.answered;
        switchSource = 7;
        EXPECT_EQ(surveyNodes(), row.message == nullptr);
        std::vector<std::string> messages;
        if (row.message != nullptr) messages.emplace_back(row.message);
        EXPECT_EQ(fakePlatform.errorBoxes, messages);
        EXPECT_EQ(dollPort.requests.size(), row.message ? row.answered + exchangeAttempts : wholeSurvey);
        EXPECT_EQ(switchSource, row.message ? 7 : 2);
        EXPECT_EQ(bodyPartTable[17].firmwareVersion, row.answered >= 10 * 22 + 4 ? 0x2A : 0);  // lShin
    }
    // The failing row keeps what was read before the failure: head's version.
    EXPECT_EQ(bodyPartTable[5].firmwareVersion, 0x22);
    EXPECT_EQ(bodyPartTable[5].offsetActive[0], 0);
}

}  // namespace
