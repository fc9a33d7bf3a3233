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

void setValue(const Change& change) {
    std::vector<FakeSettingsEntry>& settings = fakePlatform.settings;
    for (auto entry = settings.begin(); entry != settings.end(); ++entry)
        if (entry->section == change.section && entry->key == change.key) {
            settings.erase(entry);
            break;
        }
    if (change.value != nullptr) settings.push_back({change.section, change.key, change.value});
}

// Port 3 and every node fitted. Keys of hip and of node-less parts are absent.
void loadValidSettings(const std::vector<Change>& changes) {
    resetFakePlatform();
    portNumber = 0;
    std::memset(productDesc, 0, sizeof productDesc);
    fakePlatform.settings.push_back({"COMM", "PortNumber", "3"});
    for (const char* name : {"chest", "head", "rShldr", "rForeArm", "lShldr", "lForeArm", "rThigh", "rShin",
                             "lThigh", "lShin"})
        fakePlatform.settings.push_back({"NODE", name, "1"});
    for (const Change& change : changes) setValue(change);
}

std::string keyMessage(const char* section, const char* key, const char* tail) {
    return std::string("設定ファイル (Gestalyx.ini) 内の [") + section + "] セクションのキー '" + key + "' " + tail;
}

const std::string desc63(63, 'd');
const std::string desc64(64, 'd');

TEST(SettingsFile, EveryFailureShowsItsMessage) {
    const char* missing = "が見付かりません。";
    const char* content = "の内容が不正です。";
    const char* value = "の値が不正です。";
    const struct {
        const char* name;
        std::vector<Change> changes;
        bool fileMissing;
        bool noSections;
        std::string message;
    } cases[] = {
        {"file missing", {}, true, false, "設定ファイル (Gestalyx.ini) が見付かりません。"},
        {"no section", {}, false, true, "設定ファイル (Gestalyx.ini) が見付かりません。"},
        {"port missing", {{"COMM", "PortNumber", nullptr}}, false, false, keyMessage("COMM", "PortNumber", missing)},
        {"port 0", {{"COMM", "PortNumber", "0"}}, false, false, keyMessage("COMM", "PortNumber", value)},
        {"port 257", {{"COMM", "PortNumber", "257"}}, false, false, keyMessage("COMM", "PortNumber", value)},
        {"port -1", {{"COMM", "PortNumber", "-1"}}, false, false, keyMessage("COMM", "PortNumber", value)},
        {"port beyond 32 bits", {{"COMM", "PortNumber", "99999999999"}}, false, false,
         keyMessage("COMM", "PortNumber", value)},
        {"port 4294967299 does not wrap to 3", {{"COMM", "PortNumber", "4294967299"}}, false, false,
         keyMessage("COMM", "PortNumber", value)},
        {"port 3x", {{"COMM", "PortNumber", "3x"}}, false, false, keyMessage("COMM", "PortNumber", content)},
        {"port 3 4", {{"COMM", "PortNumber", "3 4"}}, false, false, keyMessage("COMM", "PortNumber", content)},
        {"port 0x10", {{"COMM", "PortNumber", "0x10"}}, false, false, keyMessage("COMM", "PortNumber", content)},
        {"port COM3", {{"COMM", "PortNumber", "COM3"}}, false, false, keyMessage("COMM", "PortNumber", content)},
        {"auto without desc", {{"COMM", "PortNumber", "auto"}}, false, false,
         keyMessage("COMM", "ProductDesc", missing)},
        {"AUTO without desc", {{"COMM", "PortNumber", "AUTO"}}, false, false,
         keyMessage("COMM", "ProductDesc", missing)},
        {"Auto without desc", {{"COMM", "PortNumber", "Auto"}}, false, false,
         keyMessage("COMM", "ProductDesc", missing)},
        {"autox is no auto", {{"COMM", "PortNumber", "autox"}}, false, false,
         keyMessage("COMM", "PortNumber", content)},
        {"desc of 64 bytes", {{"COMM", "PortNumber", "auto"}, {"COMM", "ProductDesc", desc64.c_str()}}, false,
         false, keyMessage("COMM", "ProductDesc", "の内容が 63 文字を越えています。")},
        {"head and lShin missing", {{"NODE", "head", nullptr}, {"NODE", "lShin", nullptr}}, false, false,
         keyMessage("NODE", "head", missing)},
        {"chest 1 2", {{"NODE", "chest", "1 2"}}, false, false, keyMessage("NODE", "chest", content)},
        {"rShin yes", {{"NODE", "rShin", "yes"}}, false, false, keyMessage("NODE", "rShin", content)},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        loadValidSettings(row.changes);
        if (row.noSections) fakePlatform.settings.clear();
        fakePlatform.settingsFileExists = !row.fileMissing;
        EXPECT_EQ(loadSettings(), 0);
        EXPECT_EQ(fakePlatform.errorBoxes, std::vector<std::string>{row.message});
    }
}

TEST(SettingsFile, AcceptedFilesSetPortAndNodes) {
    const struct {
        const char* name;
        std::vector<Change> changes;
        std::uint32_t portNumber;
        const char* productDesc;
        const char* switchedOff;  // part whose node is not fitted, or null
    } cases[] = {
        {"port 1", {{"COMM", "PortNumber", "1"}}, 1, "", nullptr},
        {"port 256", {{"COMM", "PortNumber", "256"}}, 256, "", nullptr},
        {"port with ProductDesc, never read", {{"COMM", "ProductDesc", desc64.c_str()}}, 3, "", nullptr},
        {"auto with 63 bytes", {{"COMM", "PortNumber", "AuTo"}, {"COMM", "ProductDesc", desc63.c_str()}}, 0,
         desc63.c_str(), nullptr},
        {"node values 7, 4000 and beyond 32 bits",
         {{"NODE", "head", "7"}, {"NODE", "lShin", "4000"}, {"NODE", "rShin", "99999999999"}}, 3, "", nullptr},
        {"chest 0", {{"NODE", "chest", "0"}}, 3, "", "chest"},
        {"lThigh -0", {{"NODE", "lThigh", "-0"}}, 3, "", "lThigh"},
        {"hip and node-less keys never read",
         {{"NODE", "hip", "0"}, {"NODE", "waist", "junk"}, {"NODE", "neck", "0"}}, 3, "", nullptr},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        loadValidSettings(row.changes);
        EXPECT_EQ(loadSettings(), 1);
        EXPECT_TRUE(fakePlatform.errorBoxes.empty());
        EXPECT_EQ(portNumber, row.portNumber);
        EXPECT_STREQ(productDesc, row.productDesc);
        for (int i = 0; i < bodyPartCount; ++i) {
            const BodyPart& part = bodyPartTable[i];
            bool switchedOff = row.switchedOff != nullptr && std::strcmp(part.name, row.switchedOff) == 0;
            SCOPED_TRACE(part.name);
            EXPECT_EQ(part.flags, initialBodyPartTable[i].flags | (switchedOff ? NoNode : 0));
        }
    }
}

// A file name longer than any system takes is cut without splitting a
// character, and the rest of the message stays whole.
TEST(SettingsFile, HugeFileNameIsCutSafely) {
    resetFakePlatform();
    std::string huge = ".\\aa";
    for (int i = 0; i < 40000; ++i) huge += "あ";
    reportSettingsError(huge.c_str(), "NODE", "head", "が見付かりません。");
    ASSERT_EQ(fakePlatform.errorBoxes.size(), 1u);
    const std::string& cut = fakePlatform.errorBoxes[0];
    std::string head = "設定ファイル (aa";
    std::string tail = ") 内の [NODE] セクションのキー 'head' が見付かりません。";
    ASSERT_GT(cut.size(), head.size() + tail.size());
    EXPECT_LT(cut.size(), huge.size());
    EXPECT_EQ(cut.substr(0, head.size()), head);
    EXPECT_EQ(cut.substr(cut.size() - tail.size()), tail);
    EXPECT_EQ((cut.size() - head.size() - tail.size()) % 3, 0u);
}

}  // namespace
