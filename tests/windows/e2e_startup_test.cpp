// Start-up seen from outside: the argument and the settings file decide
// whether the capture window appears, and every refusal is one error box and
// exit status 1.
#include <gtest/gtest.h>

#include "tests/windows/e2e_support.h"

namespace {

constexpr const char* argumentError =
    "起動引数が不正です。適用する部位を表す 16 進数を 1 つ指定してください (例: 7f)。";

// The mask reaches the window: neck (103) is selectable only with bit 2 set.
struct AcceptedArgument {
    const wchar_t* argument;
    int neckEnabled;
};

TEST(Startup, AcceptedArgumentsOpenTheCaptureWindowAndCancelEndsWithOne) {
    const AcceptedArgument cases[] = {
        {L"3ffff", 1}, {L"0x7f", 1}, {L"  7f", 1}, {L"7f then more text", 1}, {L"0", 0},
    };
    for (const AcceptedArgument& row : cases) {
        SCOPED_TRACE(wideToUtf8(row.argument));
        ProgramRun run;
        startIn(run, standardSettings, row.argument);
        waitForCaptureWindow(run);
        if (HasFatalFailure()) return;
        EXPECT_EQ(isEnabled(run.window, 103), row.neckEnabled);
        EXPECT_EQ(controlText(run.window, 101), L"ver1.0.0");
        // キャンセル works while the node check still runs.
        EXPECT_TRUE(pressButton(run.window, IDCANCEL));
        EXPECT_EQ(exitStatusOf(run), 1u);
        EXPECT_FALSE(fileExists(run.folder + L"\\Gestalyx.pz2"));
    }
}

// One refusal: the box's title and text, no window, exit status 1.
void expectRefusal(const char* settings, const std::wstring& argument, const char* message) {
    ProgramRun run;
    startIn(run, settings, argument);
    MessageBoxSeen box;
    ASSERT_TRUE(waitForMessageBox(run.program, box, windowTimeoutMs));
    EXPECT_EQ(box.title, L"Gestalyx");
    EXPECT_EQ(wideToUtf8(box.text), message);
    EXPECT_EQ(findWindow(run.program, L"Gestalyx"), nullptr);
    pressButton(box.window, IDOK);
    EXPECT_EQ(exitStatusOf(run), 1u);
}

TEST(Startup, BadArgumentsAreRefusedBeforeTheSettingsFileIsRead) {
    for (const wchar_t* argument : {L"", L"g7"}) {
        SCOPED_TRACE(wideToUtf8(argument));
        // No settings file at all: the argument error comes first.
        expectRefusal(nullptr, argument, argumentError);
    }
}

struct SettingsCase {
    const char* settings;
    const char* message;
};

#define NODES_AFTER_HEAD "rShldr=1\nrForeArm=1\nlShldr=1\nlForeArm=1\nrThigh=1\nrShin=1\nlThigh=1\nlShin=1\n"
#define ALL_NODES "[NODE]\nchest=1\nhead=1\n" NODES_AFTER_HEAD
#define KEY(section, key) "設定ファイル (Gestalyx.ini) 内の [" section "] セクションのキー '" key "' "

// The rules are tested in full natively; these cases go through the real
// private-profile reader: a missing file, a file without sections, a value
// the reader returns, one past 63 bytes, and the first missing NODE key.
TEST(Startup, SettingsFileFaultsAreRefusedWithTheirMessage) {
    const SettingsCase cases[] = {
        {nullptr, "設定ファイル (Gestalyx.ini) が見付かりません。"},
        {"; nothing but a comment\n", "設定ファイル (Gestalyx.ini) が見付かりません。"},
        {"[COMM]\nPortNumber=3 4\n" ALL_NODES, KEY("COMM", "PortNumber") "の内容が不正です。"},
        {"[COMM]\nPortNumber=Auto\nProductDesc=" "0123456789012345678901234567890123456789012345678901234567890123\n" ALL_NODES,
         KEY("COMM", "ProductDesc") "の内容が 63 文字を越えています。"},
        {"[COMM]\nPortNumber=3\n[NODE]\nchest=1\nrShldr=1\n", KEY("NODE", "head") "が見付かりません。"},
    };
    for (const SettingsCase& row : cases) {
        SCOPED_TRACE(row.settings == nullptr ? "(no file)" : row.settings);
        expectRefusal(row.settings, L"7f", row.message);
    }
}

// The private-profile reader's own rules hold: names without regard to case,
// blanks and quotes around a value dropped, keys of hip and node-less parts
// never read, only the first 95 bytes of a value seen.
TEST(Startup, AcceptedSettingsFilesOpenTheCaptureWindow) {
    const std::string portAfter95Bytes = "[COMM]\nPortNumber=3" + std::string(94, ' ') + "x\n" ALL_NODES;
    const char* cases[] = {
        "[COMM]\nPortNumber=1\n" ALL_NODES,
        "[comm]\nportnumber = 256 \n[node]\nCHEST=7\nhead=4000\n" NODES_AFTER_HEAD,
        "[COMM]\nPortNumber=\"3\"\nhip=garbage\n" ALL_NODES "neck=garbage\n",
        "[COMM]\nPortNumber=auto\nProductDesc=" "012345678901234567890123456789012345678901234567890123456789012\n" ALL_NODES,
        // "3", then blanks up to the 95th byte, then a character that is never seen.
        portAfter95Bytes.c_str(),
    };
    for (const char* settings : cases) {
        SCOPED_TRACE(settings);
        ProgramRun run;
        startIn(run, settings, L"7f");
        run.window = waitForWindow(run.program, L"Gestalyx", windowTimeoutMs);
        ASSERT_NE(run.window, nullptr);
        pressCloseBox(run.window);
        EXPECT_EQ(exitStatusOf(run), 1u);
    }
}

}  // namespace
