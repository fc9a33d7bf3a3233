#include "monitor/monitor_keys_win32.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "monitor/keys.h"
#include "monitor/monitor_reader_win32.h"
#include "monitor/monitor_resource.h"
#include "monitor/monitor_settings.h"
#include "platform/error_report.h"
#include "platform/platform.h"
#include "platform/platform_win32.h"

namespace {

Key keys[keyLimit];  // the take, in the order taken
int keyCount;
KeyWatch watch;      // the latest frames, and the key asked for
int askedHold;       // the hold of the key asked for, as the spin stood then

// The take's keys file, "" until its first key. It is current while it holds
// exactly `keys`, so that the next change is appended; once written to a
// motion (its .bvh exists), or when a write failed, the next change starts
// a new take with every key.
char keysFileName[MAX_PATH];
bool keysFileCurrent;
bool changedSinceExport;

bool playing;
ULONGLONG playStart;
FigurePose playPose, lastKeyPose;

char said[512];

const char* say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(said, sizeof said, format, arguments);
    va_end(arguments);
    return said;
}

// The take's motion and pose file beside its keys file: keys-001.keys gives
// keys-001.bvh and keys-001.pz2.
void exportName(const char* extension, char* name) {
    std::snprintf(name, MAX_PATH, "%s", keysFileName);
    const std::size_t length = std::strlen(name);
    if (length > 5 && lstrcmpiA(name + length - 5, ".keys") == 0) name[length - 5] = '\0';
    std::strncat(name, extension, MAX_PATH - std::strlen(name) - 1);
}

bool exported() {
    char bvh[MAX_PATH];
    exportName(".bvh", bvh);
    return keysFileName[0] != '\0' && !nameIsFree(bvh);
}

// The figure of frame `index` of the keys' motion.
void poseAt(int index, FigurePose& pose) {
    Rotation world[bodyPartCount];
    keysWorldAt(keys, keyCount, index, world);
    FigureFrame figure;
    solveFigure(world, monitorSettings.grounded, figure);
    placeFigure(figure.local, figure.root, pose);
}

void keysChanged() {
    changedSinceExport = true;
    if (keyCount != 0) poseAt(keyFrame(keys, keyCount - 1), lastKeyPose);
}

// Starts a new take: the first free keys-NNN, with every key written to its
// keys file. Returns the number, or 0 when none is free; the file is current
// only when every key was written.
unsigned newTake() {
    static const char* const formats[] = {"keys-%03u.keys", "keys-%03u.bvh", "keys-%03u.pz2"};
    char names[3][monitorNameCapacity];
    keysFileCurrent = false;
    const unsigned number = nextFreeNumber(formats, 3, names);
    if (number == 0) return 0;
    std::snprintf(keysFileName, sizeof keysFileName, "%s", names[0]);
    int written = 0;
    while (written < keyCount && appendKeyToFile(keysFileName, keys[written], written + 1)) ++written;
    keysFileCurrent = written == keyCount;
    return number;
}

// The keys file follows the change just made: appended to the take's file
// while it is current, else the whole take written anew. Returns 1 or 0.
int keepChange(bool added) {
    if (!keysFileCurrent || exported()) return newTake() != 0 && keysFileCurrent;
    keysFileCurrent = added ? appendKeyToFile(keysFileName, keys[keyCount - 1], keyCount)
                            : appendUndoToFile(keysFileName);
    return keysFileCurrent;
}

const char* keysFileTrouble(const char* done) {
    return say("%sキーをファイル %s に書き込めませんでした。次の変更で新しいファイルに書き直します。", done,
               keysFileName[0] != '\0' ? keysFileName : "keys-NNN.keys");
}

int holdOfSpin(HWND window, int& hold) {
    BOOL failed = FALSE;
    hold = static_cast<int>(SendDlgItemMessageW(window, IDC_KEY_HOLD, UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
    return !failed && hold >= 1 && hold <= keyHoldLimit;
}

const char* askKey(HWND window) {
    if (watch.asked) return nullptr;
    if (keyCount == keyLimit) return say("キーは %d までです。書出 で書き出してください。", keyLimit);
    if (!holdOfSpin(window, askedHold)) return say("保持は 1 から %d フレームで指定してください。", keyHoldLimit);
    askForKey(watch, readerSeconds());
    return say("ドールが静止するのを待っています。");
}

const char* undoKey() {
    if (watch.asked) {
        watch.asked = false;
        return say("キーを取るのをやめました。");
    }
    if (keyCount == 0) return say("取り消すキーがありません。");
    --keyCount;
    keysChanged();
    char done[64];
    std::snprintf(done, sizeof done, "キー %d を取り消しました。", keyCount + 1);
    return keepChange(false) ? say("%s", done) : keysFileTrouble(done);
}

void setPlayCaption(HWND window, const wchar_t* caption) { SetDlgItemTextW(window, IDC_PLAY_KEYS, caption); }

const char* stopPlaying(HWND window) {
    playing = false;
    KillTimer(window, keysPlayTimer);
    setPlayCaption(window, L"再生");
    return nullptr;
}

const char* playKeys(HWND window) {
    if (playing) return stopPlaying(window);
    if (keyCount == 0) return say("再生するキーがありません。");
    playing = true;
    playStart = GetTickCount64();
    poseAt(0, playPose);
    setPlayCaption(window, L"停止");
    SetTimer(window, keysPlayTimer, 1000 / static_cast<UINT>(monitorSettings.frameRate), nullptr);
    return say("キーを再生しています。");
}

const char* exportKeys(const char* problem) {
    if (keyCount == 0) return say("書き出すキーがありません。");
    char bvh[MAX_PATH], pz2[MAX_PATH];
    exportName(".bvh", bvh);
    exportName(".pz2", pz2);
    if (!changedSinceExport && exported()) return say("キーは %s と %s に書き出してあります。", bvh, pz2);
    // The take's own names, unless it was written before or its file fell behind: then a new take.
    if (!keysFileCurrent || !nameIsFree(bvh) || !nameIsFree(pz2)) {
        if (newTake() == 0) return say("keys-001 から keys-999 までの名前がすべて使われています。");
        exportName(".bvh", bvh);
        exportName(".pz2", pz2);
    }
    const int rate = monitorSettings.frameRate;
    if (!saveKeysBvh(keys, keyCount, rate, monitorSettings.grounded, bvh)) return say("キーを書き出せませんでした。%s", problem);
    if (!saveKeysPoseFile(keys, keyCount, pz2)) {
        std::remove(bvh);  // the two files go together, or neither
        return say("キーを書き出せませんでした。%s", problem);
    }
    changedSinceExport = false;
    const int frames = keysFrameCount(keys, keyCount);
    return say("%s と %s に書き出しました (キー %d、%d フレーム)。", bvh, pz2, keyCount, frames);
}

// Reads `name` as the take. Returns 1, or 0 with the fault in keysFileProblem.
int openTake(const char* name) {
    int count;
    if (!readKeysFile(name, keys, keyLimit, count)) return 0;
    keyCount = count;
    std::snprintf(keysFileName, sizeof keysFileName, "%s", name);
    keysChanged();
    changedSinceExport = !exported();
    return 1;
}

// Goes on with the take just read: a key the program was cut off in the
// middle of is cut from its file, so that the next key follows the last
// whole one. A take already written to a motion goes on in a new one.
void goOnWithTake() { keysFileCurrent = !exported() && truncateFile(keysFileName, keysFileWholeBytes); }

// The latest keys-NNN.keys whose motion was never written, or 0.
unsigned unfinishedTake(char name[MAX_PATH]) {
    for (unsigned number = 999; number >= 1; --number) {
        std::snprintf(name, MAX_PATH, "keys-%03u.keys", number);
        if (nameIsFree(name)) continue;
        char bvh[32];
        std::snprintf(bvh, sizeof bvh, "keys-%03u.bvh", number);
        if (nameIsFree(bvh)) return number;
    }
    return 0;
}

}  // namespace

void initKeys(HWND window) {
    keyCount = 0;
    clearKeyWatch(watch);
    keysFileName[0] = '\0';
    keysFileCurrent = changedSinceExport = playing = false;
    SendDlgItemMessageW(window, IDC_KEY_HOLD_EDIT, EM_LIMITTEXT, 4, 0);  // 9999 at most
    SendDlgItemMessageW(window, IDC_KEY_HOLD, UDM_SETRANGE32, 1, keyHoldLimit);
    SendDlgItemMessageW(window, IDC_KEY_HOLD, UDM_SETPOS32, 0, monitorSettings.keyHold);
}

int startKeys(HWND window, const char* keysFile, const char*& told) {
    told = nullptr;
    if (keysFile[0] != '\0') {
        if (!openTake(keysFile)) {
            say("キーファイル (%s) を読めません。%s", keysFile, keysFileProblem);
            keepReportsIn(nullptr, 0);
            reportError(said);
            return 0;
        }
        goOnWithTake();
        told = say("%s のキー %d を開きました。", keysFile, keyCount);
        return 1;
    }
    char name[MAX_PATH];
    if (unfinishedTake(name) == 0) return 1;
    if (!openTake(name)) {
        told = say("%s は読めないので、続けていません。%s", name, keysFileProblem);
        initKeys(window);
        return 1;
    }
    wchar_t question[256];
    toWide(say("書き出していないキーが %s に %d あります。続けますか？", name, keyCount), question,
           static_cast<int>(std::size(question)));
    if (keyCount == 0 || MessageBoxW(window, question, L"Gestalyx", MB_YESNO | MB_ICONQUESTION) != IDYES) {
        initKeys(window);
        return 1;
    }
    goOnWithTake();
    told = say("%s のキー %d を続けます。", name, keyCount);
    return 1;
}

const char* keysTakeFrame(const MonitorFrame& frame) {
    Key key;
    int row;
    const KeyWatchResult result = watchFrame(watch, frame, key, row);
    if (result == KeyWaiting) return nullptr;
    if (result != KeyTaken) {
        const BodyPart& part = bodyPartTable[row < 0 ? 0 : row];
        if (result == KeyNodeFailed)
            return say("%s (%s) ノードのセンサ値が取得できませんでした。キーは取っていません。", part.label, part.name);
        if (row < 0) return say("%.0f 秒の間にドールが静止しなかったので、キーは取っていません。", keyWaitLimit);
        return say("%s (%s) が動き続けたので、キーは取っていません。", part.label, part.name);
    }
    key.hold = askedHold;
    keys[keyCount++] = key;
    keysChanged();
    char done[64];
    std::snprintf(done, sizeof done, "キー %d を取りました。", keyCount);
    return keepChange(true) ? say("%s", done) : keysFileTrouble(done);
}

const char* onKeysCommand(HWND window, int id, const char* problem) {
    switch (id) {
    case IDC_KEY:         return askKey(window);
    case IDC_UNDO_KEY:    return undoKey();
    case IDC_PLAY_KEYS:   return playKeys(window);
    case IDC_EXPORT_KEYS: return exportKeys(problem);
    }
    return nullptr;
}

int keysShortcut(HWND window, const MSG& message) {
    if (message.hwnd != window && !IsChild(window, message.hwnd)) return 0;
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool space = message.wParam == VK_SPACE && !control, undo = message.wParam == 'Z' && control;
    if (message.message == WM_KEYDOWN && (space || undo)) {
        // A key held down repeats: one key a press.
        if (!(message.lParam & (1 << 30))) SendMessageW(window, WM_COMMAND, space ? IDC_KEY : IDC_UNDO_KEY, 0);
        return 1;
    }
    // Neither reaches the focused control: no button pressed by Space, no text changed.
    if (message.message == WM_KEYUP && space) return 1;
    return message.message == WM_CHAR && (message.wParam == L' ' || message.wParam == 0x1A);
}

const char* onKeysPlayTimer(HWND window) {
    if (!playing) return nullptr;
    const int frame = static_cast<int>((GetTickCount64() - playStart) * monitorSettings.frameRate / 1000);
    if (keyCount == 0 || frame >= keysFrameCount(keys, keyCount)) {
        stopPlaying(window);
        return say("再生が終わりました。");
    }
    poseAt(frame, playPose);
    return nullptr;
}

void keysStatus(char* text, int size) {
    text[0] = '\0';
    if (keyCount != 0)
        std::snprintf(text, static_cast<std::size_t>(size), "キー %d (%.1f 秒)　", keyCount,
                      keyFrame(keys, keyCount) / static_cast<double>(monitorSettings.frameRate));
}

const FigurePose* playedPose() { return playing ? &playPose : nullptr; }

const FigurePose* onionPose() { return keyCount != 0 ? &lastKeyPose : nullptr; }
