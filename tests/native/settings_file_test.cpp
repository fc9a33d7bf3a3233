#include "app/settings_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/body_parts.h"
#include "tests/native/fake_platform.h"

namespace {

// One change to a complete, valid settings file; a null value removes the key.
struct Change {
    const char* section;
    const char* key;
    const char* value;
};

Change port(const char* value) { return {"COMM", "PortNumber", value}; }
Change desc(const char* value) { return {"COMM", "ProductDesc", value}; }
Change node(const char* part, const char* value) { return {"NODE", part, value}; }
Change source(const char* value) { return {"CAPTURE", "Source", value}; }

// Port 3 and every node fitted. Keys of hip and of node-less parts are absent.
void loadValidSettings(const std::vector<Change>& changes) {
    resetFakePlatform();
    portNumber = 0;
    captureSource = -1;
    std::memset(productDesc, 0, sizeof productDesc);
    std::vector<FakeSettingsEntry>& settings = fakePlatform.settings;
    settings.push_back({"COMM", "PortNumber", "3"});
    for (const char* name : {"chest", "head", "rShldr", "rForeArm", "lShldr", "lForeArm", "rThigh", "rShin",
                             "lThigh", "lShin"})
        settings.push_back({"NODE", name, "1"});
    for (const Change& change : changes) {
        std::erase_if(settings, [&](const FakeSettingsEntry& entry) {
            return entry.section == change.section && entry.key == change.key;
        });
        if (change.value != nullptr) settings.push_back({change.section, change.key, change.value});
    }
}

const std::string desc63(63, 'd'), desc64(64, 'd');

TEST(SettingsFile, MissingFileAndFileWithoutSectionsAreNotFound) {
    for (bool exists : {false, true}) {
        SCOPED_TRACE(exists ? "no section" : "file missing");
        loadValidSettings({});
        fakePlatform.settings.clear();
        fakePlatform.settingsFileExists = exists;
        EXPECT_EQ(loadSettings(), 0);
        EXPECT_EQ(fakePlatform.errorBoxes, std::vector<std::string>{"設定ファイル (Gestalyx.ini) が見付かりません。"});
    }
}

TEST(SettingsFile, EveryFailureOfAKeyShowsItsMessage) {
    const char* missing = "が見付かりません。";
    const char* content = "の内容が不正です。";
    const char* value = "の値が不正です。";
    const struct {
        std::vector<Change> changes;
        const char *section, *key, *tail;
    } cases[] = {
        {{port(nullptr)}, "COMM", "PortNumber", missing},
        {{port("0")}, "COMM", "PortNumber", value},
        {{port("257")}, "COMM", "PortNumber", value},
        {{port("-1")}, "COMM", "PortNumber", value},          // read as %u reads it
        {{port("4294967299")}, "COMM", "PortNumber", value},  // must not wrap round to 3
        {{port("3 4")}, "COMM", "PortNumber", content},
        {{port("0x10")}, "COMM", "PortNumber", content},
        {{port("COM3")}, "COMM", "PortNumber", content},
        {{port("autox")}, "COMM", "PortNumber", content},
        {{port("auto")}, "COMM", "ProductDesc", missing},
        {{port("auto"), desc(desc64.c_str())}, "COMM", "ProductDesc", "の内容が 63 文字を越えています。"},
        {{node("head", nullptr), node("lShin", nullptr)}, "NODE", "head", missing},  // the first in table order
        {{node("chest", "1 2")}, "NODE", "chest", content},
        {{node("rShin", "yes")}, "NODE", "rShin", content},
        {{source("sideways")}, "CAPTURE", "Source", content},
        {{node("head", nullptr), source("x")}, "NODE", "head", missing},  // the NODE keys first
    };
    for (const auto& row : cases) {
        const Change& last = row.changes.back();
        SCOPED_TRACE(testing::Message() << last.key << " = " << (last.value ? last.value : "(removed)"));
        loadValidSettings(row.changes);
        EXPECT_EQ(loadSettings(), 0);
        EXPECT_EQ(fakePlatform.errorBoxes,
                  std::vector<std::string>{std::string("設定ファイル (Gestalyx.ini) 内の [") + row.section +
                                           "] セクションのキー '" + row.key + "' " + row.tail});
    }
}

TEST(SettingsFile, AcceptedFilesSetPortAndNodes) {
    const struct {
        const char* name;
        std::vector<Change> changes;
        std::uint32_t portNumber;
        const char* productDesc;
        const char* switchedOff;  // part whose node is not fitted, or null
        int captureSource = CaptureDemo;
    } cases[] = {
        {"port 1", {port("1")}, 1, "", nullptr},
        {"port 256", {port("256")}, 256, "", nullptr},
        {"ProductDesc not read for a port number", {desc(desc64.c_str())}, 3, "", nullptr},
        {"auto in any case, desc of 63 bytes", {port("AuTo"), desc(desc63.c_str())}, 0, desc63.c_str(), nullptr},
        {"any nonzero node value", {node("lShin", "4000"), node("rShin", "99999999999")}, 3, "", nullptr},
        {"chest 0", {node("chest", "0")}, 3, "", "chest"},
        {"lThigh -0", {node("lThigh", "-0")}, 3, "", "lThigh"},
        {"hip and node-less keys unread", {node("hip", "0"), node("waist", "junk"), node("neck", "0")}, 3, "", nullptr},
        {"Source demo", {source("demo")}, 3, "", nullptr, CaptureDemo},
        {"Source doll in any case", {source("DoLL")}, 3, "", nullptr, CaptureDoll},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        loadValidSettings(row.changes);
        EXPECT_EQ(loadSettings(), 1);
        EXPECT_TRUE(fakePlatform.errorBoxes.empty());
        EXPECT_EQ(portNumber, row.portNumber);
        EXPECT_STREQ(productDesc, row.productDesc);
        EXPECT_EQ(captureSource, row.captureSource);
        for (int i = 0; i < bodyPartCount; ++i) {
            const char* name = bodyPartTable[i].name;
            bool off = row.switchedOff != nullptr && std::strcmp(name, row.switchedOff) == 0;
            EXPECT_EQ(bodyPartTable[i].flags, initialBodyPartTable[i].flags | (off ? NoNode : 0)) << name;
        }
    }
}

}  // namespace
