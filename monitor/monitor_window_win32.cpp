#include "monitor/monitor_window_win32.h"

#include <commctrl.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "monitor/live_link_win32.h"
#include "monitor/monitor_frame.h"
#include "monitor/monitor_keys_win32.h"
#include "monitor/monitor_picture_win32.h"
#include "monitor/monitor_reader_win32.h"
#include "monitor/monitor_resource.h"
#include "monitor/monitor_settings.h"
#include "monitor/recording.h"
#include "output/bvh_file.h"
#include "output/output_file.h"
#include "output/pose_file.h"
#include "platform/error_report.h"
#include "platform/platform_win32.h"
#include "solver/figure_solve.h"

namespace {

constexpr UINT_PTR statusTimer = 1;
constexpr UINT statusTimerMs = 500;
constexpr UINT_PTR saveTimer = 2;
constexpr UINT saveWaitMs = 2000;  // how long ポーズ保存 waits for a complete frame
constexpr std::uint32_t allParts = 0x3FFFF;
// How long closing waits for the reader: it stops within one transfer.
constexpr DWORD readerStopMs = 2000;
constexpr int controlsMargin = 8;  // pixels around the band of controls

HWND monitorWindow;
FigureFrame shownFigure;       // the latest complete frame's figure
FigurePose shownPose;          // and where its parts lie
std::uint32_t failedRows;      // the parts whose node failed in the latest frame
bool lineLost;                 // the doll answered nothing in the latest frame
// The frame rate over the last four ticks of the status timer, so that it
// reads steadily even when a failing node makes frames a second long.
constexpr int rateTicks = 4;
unsigned framesSinceTick;
unsigned tickFrames[rateTicks];
ULONGLONG tickTimes[rateTicks];
int tickIndex;
double frameRate;
bool saveRequested;
char eventText[512];           // the last file saved or the last failure: a reason, the file and its notes
// Frames are taken one batch at a time, in the reader's order: a message
// loop run while they are taken (a box) finds them being taken and leaves
// the queue for later.
bool takingFrames, framesWaiting;
// 記録 pressed and the recording not yet saved; full once it reached its
// limit, and from then on it takes no frames until it is saved.
Recording recording;
bool recordingOn, recordingFull;
int controlsHeight;            // the band of buttons along the bottom edge, pixels
// What a writer reported while the monitor saved: shown in the status text,
// never in a box, so that no message loop runs while frames are taken.
char saveProblem[320];

void setEvent(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(eventText, sizeof eventText, format, arguments);
    va_end(arguments);
}

void setEventForNode(int row, const char* tail) {
    if (row < 0) {
        setEvent("%s", tail);
        return;
    }
    const BodyPart& part = bodyPartTable[row];
    setEvent("%s (%s) ノードのセンサ値が取得できませんでした。%s", part.label, part.name, tail);
}

// "12.5 フレーム/秒　記録 0 フレーム　<the last file saved or failure>", and
// while recording the frames recorded so far, with those left out.
void showStatus(HWND window) {
    char leftOut[64] = "";
    if (recordingOn && recording.leftOut != 0) std::snprintf(leftOut, sizeof leftOut, " (欠け %u)", recording.leftOut);
    char keys[64], link[400];
    keysStatus(keys, sizeof keys);
    linkStatus(link, sizeof link);
    char text[1152];
    std::snprintf(text, sizeof text, "%.1f フレーム/秒　記録 %d フレーム%s　%s%s%s", frameRate,
                  recordingOn ? recording.count : 0, leftOut, keys, link, eventText);
    wchar_t wide[1152];
    toWide(text, wide, static_cast<int>(std::size(wide)));
    SetDlgItemTextW(window, IDC_MONITOR_STATUS, wide);
}

void onStatusTimer(HWND window) {
    ULONGLONG now = GetTickCount64();
    int oldest = (tickIndex + 1) % rateTicks;
    tickFrames[tickIndex] = framesSinceTick;
    unsigned frames = 0;
    for (unsigned count : tickFrames) frames += count;
    if (now > tickTimes[oldest]) frameRate = frames * 1000.0 / static_cast<double>(now - tickTimes[oldest]);
    tickTimes[oldest] = now;
    tickIndex = oldest;
    framesSinceTick = 0;
    showStatus(window);
}

// Saves the frame just taken as pose-NNN.pz2, the pose file of the host's
// joint angles, and pose-NNN.bvh, the figure as shown; NNN the first number
// for which neither file exists.
void savePose(HWND window, const MonitorFrame& frame) {
    saveRequested = false;
    KillTimer(window, saveTimer);
    static const char* const formats[] = {"pose-%03u.pz2", "pose-%03u.bvh"};
    char names[2][monitorNameCapacity];
    solveMonitorFrame(frame.sensor);
    PoseFrame angles{};
    figureAngles(shownFigure, angles);
    if (nextFreeNumber(formats, 2, names) == 0)
        setEvent("pose-001 から pose-999 までの名前がすべて使われています。");
    else if (writePoseFile(names[0], allParts) && writeBvhPose(names[1], angles))
        setEvent("%s と %s を保存しました。", names[0], names[1]);
    else
        setEvent("ポーズを保存できませんでした。%s", saveProblem);
    showStatus(window);
}

void onSaveTimeout(HWND window) {
    KillTimer(window, saveTimer);
    if (!saveRequested) return;
    saveRequested = false;
    int row = firstFailedRow(failedRows);
    setEventForNode(row, row < 0 ? "2 秒の間にフレームが届きませんでした。ポーズは保存していません。"
                                 : "ポーズは保存していません。");
    showStatus(window);
}

void setRecordCaption(HWND window, const char* caption) {
    wchar_t wide[16];
    toWide(caption, wide, static_cast<int>(std::size(wide)));
    SetDlgItemTextW(window, IDC_RECORD, wide);
}

void endRecording(HWND window) {
    recordingOn = recordingFull = false;
    freeRecording(recording);
    setRecordCaption(window, "記録");
}

// Saves the recording as motion-NNN.bvh and ends it; `reason` (or "") opens
// the status text. A recording without a complete frame ends without a file.
// When no name is free or the writer fails, the recording is kept and 停止
// stays, so that nothing is lost: pressing it again tries once more.
int stopRecording(HWND window, const char* reason) {
    static const char* const formats[] = {"motion-%03u.bvh"};
    char names[1][monitorNameCapacity];
    int stopped = 0;
    const int rate = monitorSettings.frameRate;
    const RecordingTimes times = recordingTimes(recording, rate);
    if (recording.count == 0) {
        setEvent("%s完全なフレームがなかったため、記録は保存していません。", reason);
        stopped = 1;
    } else if (times.frames == 0) {
        setEvent("%s記録が短すぎるため、保存していません。", reason);
        stopped = 1;
    } else if (nextFreeNumber(formats, 1, names) == 0) {
        setEvent("%smotion-001 から motion-999 までの名前がすべて使われています。記録はまだ保存していません。", reason);
    } else if (!saveRecording(recording, rate, monitorSettings.grounded, names[0])) {
        setEvent("%s記録を保存できませんでした。%s停止 でもう一度保存します。", reason, saveProblem);
    } else {
        char leftOut[96] = "", gap[128] = "";
        if (recording.leftOut != 0)
            std::snprintf(leftOut, sizeof leftOut, "欠けたフレーム %u は除きました。", recording.leftOut);
        if (times.gap > recordingGapToName)
            std::snprintf(gap, sizeof gap, "%.1f 秒目から %.1f 秒間、読み取りが欠けていたので補間しました。",
                          times.gapAt > 0 ? times.gapAt : 0.0, times.gap);
        setEvent("%s%s に %d フレーム (%d フレーム/秒、%.1f 秒) を保存しました。%s%s", reason, names[0], times.frames,
                 rate, times.frames / static_cast<double>(rate), leftOut, gap);
        stopped = 1;
    }
    if (stopped) endRecording(window);
    showStatus(window);
    return stopped;
}

void onRecordCommand(HWND window) {
    if (recordingOn) {
        stopRecording(window, "");
        return;
    }
    recordingOn = true;  // empty: endRecording let go of the last one's frames
    setRecordCaption(window, "停止");
    setEvent("記録しています。");
    showStatus(window);
}

// A frame streamed while recording goes into the recording first; one that
// finds it full stops it and saves it.
void recordStreamedFrame(HWND window, const MonitorFrame& frame) {
    if (!recordingOn || recordingFull || recordFrame(recording, frame)) return;
    recordingFull = true;
    char reason[128];
    if (recording.count == recordingFrameLimit)
        std::snprintf(reason, sizeof reason, "記録が上限の %d フレームに達したので停止しました。", recordingFrameLimit);
    else
        std::snprintf(reason, sizeof reason, "メモリが足りないので記録を停止しました。");
    stopRecording(window, reason);
}

RECT pictureRect(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    client.bottom -= controlsHeight;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

// Shows what the keys had to say, if anything, and the picture anew: a key
// taken or taken back changes the faint figure.
void showKeysEvent(HWND window, const char* said) {
    if (said == nullptr) return;
    setEvent("%s", said);
    showStatus(window);
    RECT picture = pictureRect(window);
    InvalidateRect(window, &picture, FALSE);
}

void takeFrame(HWND window, const MonitorFrame& frame) {
    ++framesSinceTick;
    recordStreamedFrame(window, frame);
    showKeysEvent(window, keysTakeFrame(frame));
    std::uint32_t newlyFailed = frame.failedRows & ~failedRows;
    failedRows = frame.failedRows;
    if (frame.failedRows != 0) {
        if (newlyFailed != 0) {
            setEventForNode(firstFailedRow(frame.failedRows), "");
            showStatus(window);
        }
        return;
    }
    solveFigureOfFrame(frame.sensor, monitorSettings.grounded, shownFigure);
    placeFigure(shownFigure.local, shownFigure.root, shownPose);
    linkTakeFrame(frame, shownFigure);
    if (saveRequested) savePose(window, frame);
}

void onFrames(HWND window) {
    if (takingFrames) {
        framesWaiting = true;
        return;
    }
    takingFrames = true;
    static TakenFrames taken;
    takeFrames(taken);
    if (recordingOn && !recordingFull) recording.leftOut += taken.dropped;
    for (int i = 0; i < taken.count; ++i) takeFrame(window, taken.frames[i]);
    if (taken.count != 0 && taken.lineLost != lineLost) {
        lineLost = taken.lineLost;
        setEvent(lineLost ? "ドールとの接続が切れました。つながるのを待っています。" : "ドールとの接続が戻りました。");
        showStatus(window);
    }
    RECT picture = pictureRect(window);
    InvalidateRect(window, &picture, FALSE);
    takingFrames = false;
    if (framesWaiting) {
        framesWaiting = false;
        PostMessageW(window, framesMessage, 0, 0);
    }
}

// Drawn whole into a bitmap first, then copied at once, so that nothing
// flickers; the children clip themselves out (WS_CLIPCHILDREN).
void paintWindow(HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (target != nullptr && client.right > 0 && client.bottom > 0) {
        HDC memory = CreateCompatibleDC(target);
        HBITMAP bitmap = CreateCompatibleBitmap(target, client.right, client.bottom);
        HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
        const FigurePose* played = playedPose();
        drawMonitorPicture(memory, window, pictureRect(window), played != nullptr ? *played : shownPose,
                           played != nullptr ? 0 : failedRows, onionPose());
        BitBlt(target, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(memory);
    }
    EndPaint(window, &paint);
}

// ---- The controls ----

// Two rows of controls along the bottom edge, right-aligned: the live link's
// 送信 and the keys' キー, 取消, 保持 with its spin, 再生 and 書出 above; the
// status text, 記録, ポーズ保存 and 閉じる below. Buttons keep the size the template gave them.
// The size every button has, the template's scaled to the display: 閉じる's.
SIZE buttonSize(HWND window) {
    RECT button{};
    GetWindowRect(GetDlgItem(window, IDCANCEL), &button);
    return SIZE{button.right - button.left, button.bottom - button.top};
}

constexpr int controlGap = controlsMargin / 2;
// The upper row, the link's box and the keys', right to left, in button widths.
constexpr struct { int id; double widths; } keysRow[] = {
    {IDC_EXPORT_KEYS, 1}, {IDC_PLAY_KEYS, 1}, {IDC_KEY_HOLD_EDIT, 1}, {IDC_KEY_HOLD_LABEL, 0.5}, {IDC_UNDO_KEY, 1}, {IDC_KEY, 1},
    {IDC_LINK, 1},
};
constexpr double keysRowWidths = [] {
    double sum = 0;
    for (const auto& control : keysRow) sum += control.widths;
    return sum;
}();
constexpr int keysRowGaps = static_cast<int>(std::size(keysRow)) - 1;

void layOut(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int buttonWidth = buttonSize(window).cx, buttonHeight = buttonSize(window).cy;
    const int margin = controlsMargin;
    controlsHeight = 2 * buttonHeight + controlGap + 2 * margin;
    int y = client.bottom - margin - buttonHeight;
    int x = client.right - margin - buttonWidth;
    for (int id : {IDCANCEL, IDC_SAVE_POSE, IDC_RECORD}) {
        SetWindowPos(GetDlgItem(window, id), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        x -= buttonWidth + controlGap;
    }
    int statusWidth = x + buttonWidth - margin;
    SetWindowPos(GetDlgItem(window, IDC_MONITOR_STATUS), nullptr, margin, y + 3, statusWidth > 0 ? statusWidth : 0,
                 buttonHeight - 3, SWP_NOZORDER);
    x = client.right - margin;
    y -= buttonHeight + controlGap;
    for (const auto& control : keysRow) {
        const int width = static_cast<int>(control.widths * buttonWidth);
        x -= width;
        SetWindowPos(GetDlgItem(window, control.id), nullptr, x, y, width, buttonHeight, SWP_NOZORDER);
        x -= controlGap;
    }
    // The spin sits at the right end inside its number.
    SendDlgItemMessageW(window, IDC_KEY_HOLD, UDM_SETBUDDY,
                        reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_KEY_HOLD_EDIT)), 0);
    InvalidateRect(window, nullptr, FALSE);
}

void onInit(HWND window) {
    monitorWindow = window;
    captureWindow = window;  // owner of any box shown while the window is open
    failedRows = 0;
    lineLost = takingFrames = framesWaiting = false;
    framesSinceTick = 0;
    frameRate = 0;
    saveRequested = false;
    recordingOn = recordingFull = false;
    eventText[0] = '\0';
    Rotation rest[bodyPartCount];
    for (Rotation& part : rest) part = identityRotation;
    solveFigure(rest, monitorSettings.grounded, shownFigure);
    placeFigure(shownFigure.local, shownFigure.root, shownPose);
    tickIndex = 0;
    for (int i = 0; i < rateTicks; ++i) {
        tickFrames[i] = 0;
        tickTimes[i] = GetTickCount64();
    }
    initKeys(window);
    layOut(window);
    showStatus(window);
    SetTimer(window, statusTimer, statusTimerMs, nullptr);
}

void onSaveCommand(HWND window) {
    if (saveRequested) return;
    saveRequested = true;
    SetTimer(window, saveTimer, saveWaitMs, nullptr);
}

void onTimer(HWND window, UINT_PTR timer) {
    if (timer == linkTimer) onLinkTimer(window);
    if (timer == statusTimer) onStatusTimer(window);
    if (timer == saveTimer) onSaveTimeout(window);
    if (timer == keysPlayTimer) {
        showKeysEvent(window, onKeysPlayTimer(window));
        RECT picture = pictureRect(window);
        InvalidateRect(window, &picture, FALSE);
    }
}

// 閉じる, Esc and the close box: a recording is saved first, and when it
// cannot be, the user decides whether to close without it (no frames are
// being taken: this is a command). The window goes at once; the reader is
// stopped once the message loop has ended, before the port closes.
void onClose(HWND window) {
    if (recordingOn && !stopRecording(window, "") &&
        MessageBoxW(window, L"記録を保存できませんでした。保存しないで閉じますか？", L"Gestalyx",
                    MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return;
    KillTimer(window, statusTimer);
    KillTimer(window, saveTimer);
    KillTimer(window, keysPlayTimer);
    endLink(window);
    DestroyWindow(window);
}

// Logging off or shutting down: the session may end, and Windows is told
// why it waits while a recording is being saved. Once it ends the recording
// is saved as 閉じる saves it and the reader stopped, since the process may
// be ended as soon as this returns; the port closes with it.
void onQueryEndSession(HWND window) {
    if (recordingOn) ShutdownBlockReasonCreate(window, L"記録を保存しています。");
    SetWindowLongPtrW(window, DWLP_MSGRESULT, TRUE);
}

void onEndSession(HWND window, bool ending) {
    if (ending) {
        if (recordingOn) stopRecording(window, "");
        stopReader(readerStopMs);
    }
    ShutdownBlockReasonDestroy(window);
}

INT_PTR onCommand(HWND window, int id) {
    switch (id) {
    case IDC_RECORD:    onRecordCommand(window); return TRUE;
    case IDC_SAVE_POSE: onSaveCommand(window); return TRUE;
    case IDCANCEL:      onClose(window); return TRUE;
    case IDC_LINK:      onLinkCommand(window); showStatus(window); return TRUE;
    case IDC_KEY:
    case IDC_UNDO_KEY:
    case IDC_PLAY_KEYS:
    case IDC_EXPORT_KEYS:
        saveProblem[0] = '\0';
        showKeysEvent(window, onKeysCommand(window, id, saveProblem));
        return TRUE;
    }
    return FALSE;
}

// The smallest window still shows every control whole (the keys' row is the
// wider) and leaves the picture four buttons high, whatever the controls'
// size at this display's scaling.
void onMinMaxInfo(HWND window, MINMAXINFO* info) {
    const int buttonWidth = buttonSize(window).cx, buttonHeight = buttonSize(window).cy;
    if (buttonWidth == 0) return;  // before the controls exist
    RECT smallest{0, 0, 2 * controlsMargin + static_cast<int>(keysRowWidths * buttonWidth) + keysRowGaps * controlGap,
                  2 * controlsMargin + 6 * buttonHeight + controlGap};
    AdjustWindowRectEx(&smallest, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    info->ptMinTrackSize.x = smallest.right - smallest.left;
    info->ptMinTrackSize.y = smallest.bottom - smallest.top;
}

}  // namespace

INT_PTR CALLBACK monitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:      onInit(window); return TRUE;
    case WM_SIZE:            layOut(window); return TRUE;
    case WM_GETMINMAXINFO:   onMinMaxInfo(window, reinterpret_cast<MINMAXINFO*>(lParam)); return TRUE;
    case WM_ERASEBKGND:      SetWindowLongPtrW(window, DWLP_MSGRESULT, 1); return TRUE;
    case WM_PAINT:           paintWindow(window); return TRUE;
    case framesMessage:      onFrames(window); return TRUE;
    case linkFoundMessage:   onLinkFound(window, wParam, lParam); showStatus(window); return TRUE;
    case WM_TIMER:           onTimer(window, wParam); return TRUE;
    case WM_COMMAND:         return onCommand(window, LOWORD(wParam));
    case WM_QUERYENDSESSION: onQueryEndSession(window); return TRUE;
    case WM_ENDSESSION:      onEndSession(window, wParam != 0); return TRUE;
    case WM_DESTROY:         PostQuitMessage(0); return TRUE;
    }
    return FALSE;
}

int runMonitorWindow(const char* keysFile) {
    completeFilesOnly = 1;
    keepReportsIn(saveProblem, sizeof saveProblem);
    HWND window = CreateDialogParamW(appInstance, L"DialogMonitor", nullptr, monitorWindowProc, 0);
    if (window == nullptr || !startReader(window)) {
        keepReportsIn(nullptr, 0);
        reportError(window == nullptr ? "can not create monitor window" : "can not start monitor reader");
        if (window != nullptr) DestroyWindow(window);
        return 1;
    }
    initLink(window);
    ShowWindow(window, SW_SHOW);
    const char* said;
    if (!startKeys(window, keysFile, said)) {
        captureWindow = nullptr;
        DestroyWindow(window);
        stopReader(readerStopMs);
        return 1;
    }
    showKeysEvent(window, said);
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0 && got != -1) {
        if (IsWindow(monitorWindow) && keysShortcut(monitorWindow, message)) continue;
        if (IsWindow(monitorWindow) && IsDialogMessageW(monitorWindow, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    keepReportsIn(nullptr, 0);
    freeRecording(recording);
    captureWindow = nullptr;
    // A reader still in a transfer this long after being asked is past
    // waiting for: the mode ends here, and the port closes with the process.
    if (!stopReader(readerStopMs)) ExitProcess(got == -1 ? 1 : 0);
    return got == -1 ? 1 : 0;
}
