// The node survey of the settings mode: it fills the table from every node,
// then reads the switch/LED source, and stops at the first node or unit that
// does not answer, with one message. The cases are in survey_failures.txt.
#include "device/node_protocol.h"
#include "model/body_parts.h"
#include "hardware_settings/hardware_settings.h"
#include "tests/common/data_table.h"
#include "tests/native/doll_port.h"
#include "tests/native/fake_platform.h"

TEST(NodeSurvey, TheFirstFailureIsReportedAndNothingAfterItIsContacted) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/survey_failures.txt")) {
        SCOPED_TRACE(row.where);
        resetFakePlatform();
        resetDollPort();
        for (int i = 0; i < dollNodeCount; ++i)
            dollPort.doll.nodes[i].firmwareVersion = static_cast<std::uint8_t>(0x20 + i);
        dollPort.doll.switchSource = 2;
        dollPort.answerLimit = std::stoul(row.fields[0]);
        switchSource = 7;
        const bool fails = row.fields[1] != "-";
        EXPECT_EQ(surveyNodes(), !fails);
        EXPECT_EQ(fakePlatform.errorBoxes, std::vector<std::string>(fails, row.fields[1]));
        EXPECT_EQ(dollPort.requests.size(), fails ? dollPort.answerLimit + exchangeAttempts : dollPort.answerLimit);
        EXPECT_EQ(switchSource, fails ? 7 : 2);
        EXPECT_EQ(bodyPartTable[5].firmwareVersion, std::stoul(row.fields[2], nullptr, 0));  // head
        EXPECT_EQ(bodyPartTable[17].firmwareVersion, std::stoul(row.fields[3], nullptr, 0));  // lShin
    }
}
