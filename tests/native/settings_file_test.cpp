// The settings file's rules, through a table standing in for the file; the files refused and accepted are in
// settings_file_refused.txt and settings_file_accepted.txt, the monitor's section in monitor_settings.txt.
#include "app/settings_file.h"

#include <cstring>

#include "model/body_parts.h"
#include "monitor/monitor_settings.h"
#include "tests/common/data_table.h"
#include "tests/native/fake_platform.h"

// A complete, valid file (port 3, every NODE key 1), then the changes of the
// row: "SECTION key=value" sets a key, "SECTION key" removes it.
static void loadChangedSettings(const std::string& changes) {
    resetFakePlatform();
    portNumber = 0;
    captureSource = -1;
    std::memset(productDesc, 0, sizeof productDesc);
    std::vector<FakeSettingsEntry>& settings = fakePlatform.settings;
    settings.push_back({"COMM", "PortNumber", "3"});
    for (const BodyPart& part : bodyPartTable)
        if (!(part.flags & NoNode) && part.parent != noParent) settings.push_back({"NODE", part.name, "1"});
    fakePlatform.settingsFileExists = changes != "(no file)";
    if (changes == "(no sections)") settings.clear();
    std::istringstream list(changes);
    for (std::string change; std::getline(list, change, ';');) {
        std::istringstream words(change);
        std::string section, key, value;
        words >> section >> std::ws;
        std::getline(std::getline(words, key, '='), value);
        std::erase_if(settings, [&](const FakeSettingsEntry& old) { return old.section == section && old.key == key; });
        if (change.find('=') != std::string::npos) settings.push_back({section, key, value});
    }
}

TEST(SettingsFile, EveryFailureShowsItsMessage) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/settings_file_refused.txt")) {
        SCOPED_TRACE(row.where);
        loadChangedSettings(row.fields[0]);
        EXPECT_EQ(loadSettings(), 0);
        EXPECT_EQ(fakePlatform.errorBoxes, std::vector<std::string>{row.fields[1]});
    }
}

TEST(SettingsFile, AcceptedFilesSetPortNodesAndSource) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/settings_file_accepted.txt")) {
        SCOPED_TRACE(row.where);
        loadChangedSettings(row.fields[0]);
        EXPECT_EQ(loadSettings(), 1);
        EXPECT_TRUE(fakePlatform.errorBoxes.empty());
        EXPECT_EQ(portNumber, std::stoul(row.fields[1]));
        EXPECT_EQ(productDesc, row.fields[2]);
        EXPECT_EQ(captureSource, std::stoi(row.fields[4]));
        for (int i = 0; i < bodyPartCount; ++i) {
            bool off = row.fields[3] == bodyPartTable[i].name;
            EXPECT_EQ(bodyPartTable[i].flags, initialBodyPartTable[i].flags | (off ? NoNode : 0)) << i;
        }
    }
}

TEST(MonitorSettings, ValuesReadOrTheOneMessage) {
    for (const DataRow& row : readDataTable(GESTALYX_TEST_DATA "/monitor_settings.txt")) {
        SCOPED_TRACE(row.where);
        loadChangedSettings(row.fields[0]);
        monitorSettings = {-1, -1, -1, {"-", -1, -1, -1}};
        const bool accepted = row.fields[5] == "-";
        EXPECT_EQ(loadMonitorSettings(), accepted ? 1 : 0);
        EXPECT_EQ(fakePlatform.errorBoxes, accepted ? std::vector<std::string>{} : std::vector{row.fields[5]});
        const LinkSettings& link = monitorSettings.link;
        std::ostringstream read;
        read << link.host << ' ' << link.port << ' ' << link.enabled << ' ' << link.smooth;
        EXPECT_EQ(accepted ? row.fields[4] : "-", link.port < 0 ? "-" : read.str());
        EXPECT_EQ(monitorSettings.frameRate, accepted ? std::stoi(row.fields[1]) : -1);
        EXPECT_EQ(monitorSettings.grounded, accepted ? std::stoi(row.fields[2]) : -1);
        EXPECT_EQ(monitorSettings.keyHold, accepted ? std::stoi(row.fields[3]) : -1);
    }
}
