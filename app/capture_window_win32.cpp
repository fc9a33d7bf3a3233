#include "app/capture_window_win32.h"

#include <commctrl.h>

#include "platform/error_report.h"
#include "platform/platform_win32.h"
#include "device/node_check.h"
#include "app/resource.h"
#include "app/settings_file.h"
#include "device/port_search.h"
#include "model/body_parts.h"
#include "output/pose_file.h"
#include "solver/joint_angles.h"
#include "solver/sample_poses.h"

HWND progressBar;
int sequenceRunning;

constexpr UINT_PTR sequenceTimer = 2;
constexpr UINT sequenceTickMs = 20;
constexpr DWORD nodeCheckPauseMs = 300;
constexpr DWORD sequenceEndPauseMs = 100;
constexpr WPARAM resumeFromSuspend = 7;  // PBT_APMRESUMESUSPEND

void disableUnselectable() {
    for (const BodyPart& row : bodyPartTable)
        if (!row.selectable) EnableWindow(GetDlgItem(captureWindow, row.checkboxId), FALSE);
}

// Checks every selectable part whose flags, masked with b, equal a, and
// unchecks the others. Unselectable parts are never touched.
void checkByFlags(std::uint8_t a, std::uint8_t b) {
    for (const BodyPart& row : bodyPartTable)
        if (row.selectable)
            CheckDlgButton(captureWindow, row.checkboxId,
                           static_cast<std::uint8_t>(row.flags & b) == a ? BST_CHECKED : BST_UNCHECKED);
}

void setupProgressBar() {
    progressBar = GetDlgItem(captureWindow, IDC_PROGRESS);
    SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 11));
    SendMessageW(progressBar, PBM_SETSTEP, 1, 0);
}

int openCaptureSource() {
    if (captureSource != CaptureDoll) return 1;
    captureLabel = "LIVE";
    return openConfiguredPort(portNumber, productDesc);
}

void showCaptureSource() {
    if (captureSource != CaptureDoll) return;
    // The label has no control id of its own: it is the static text "DEMO".
    SetWindowTextW(FindWindowExW(captureWindow, nullptr, L"Static", L"DEMO"), L"LIVE");
}

// A pause for a sample pose; the node itself, when the pose comes from the doll.
static int checkNode(int row) {
    if (captureSource == CaptureDoll) return checkPartNode(row);
    Sleep(nodeCheckPauseMs);
    return 1;
}

// One tick: one node part checked, or the end of the sequence once every node
// part has had its tick. A node that does not answer ends the sequence there,
// with 実行 disabled.
void stepSequence() {
    for (int row = currentPart; row < bodyPartCount; ++row) {
        if (bodyPartTable[row].flags & NoNode) continue;
        if (!checkNode(row)) {
            sequenceRunning = 0;
            return;
        }
        SendMessageW(progressBar, PBM_STEPIT, 0, 0);
        currentPart = row + 1;
        return;
    }
    Sleep(sequenceEndPauseMs);
    sequenceRunning = 0;
    ShowWindow(progressBar, SW_HIDE);
    // The sample poses mean nothing while the pose comes from the doll.
    if (captureSource != CaptureDoll) EnableWindow(GetDlgItem(captureWindow, IDC_SAMPLE_POSE), TRUE);
    EnableWindow(GetDlgItem(captureWindow, IDOK), TRUE);
}

std::uint32_t collectSelection() {
    std::uint32_t selectionMask = 0;
    for (int row = 0; row < bodyPartCount; ++row)
        if (bodyPartTable[row].selectable && IsDlgButtonChecked(captureWindow, bodyPartTable[row].checkboxId) == BST_CHECKED)
            selectionMask |= std::uint32_t{1} << row;
    return selectionMask;
}

// A node that cannot be read leaves everything as it was: no pose file, and
// the window stays for another 実行 or キャンセル.
void solveAndWrite() {
    if (captureSource == CaptureDoll) {
        if (!readLiveSensorVectors()) return;
        solveSensorVectors();
    } else {
        solvePose();
    }
    int written = writePoseFile("Gestalyx.pz2", collectSelection());
    PostQuitMessage(written == 1 ? 0 : 1);
}

static void startSequence(HWND window) {
    sequenceRunning = 1;
    currentPart = 0;
    SetTimer(window, sequenceTimer, sequenceTickMs, nullptr);
}

static void onSequenceTimer(HWND window) {
    KillTimer(window, sequenceTimer);
    stepSequence();
    if (sequenceRunning == 1) SetTimer(window, sequenceTimer, sequenceTickMs, nullptr);
}

static void openSamplePoseDialog(HWND window) {
    if (DialogBoxParamW(appInstance, L"DialogDemo", window, samplePoseDialogProc, 0) != 0)
        reportError("can not create sub dialog window");
}

// A disabled button cannot be pressed, not even through the dialog manager's
// Enter key or a queued click: 実行 and the sample poses wait for the sequence.
static bool enabled(HWND window, int id) { return IsWindowEnabled(GetDlgItem(window, id)); }

// Returns true when the command was handled here.
static bool onCommand(HWND window, int id) {
    switch (id) {
    case IDOK:            if (enabled(window, IDOK)) solveAndWrite(); return true;
    case IDCANCEL:        PostQuitMessage(1); return true;
    case IDC_UPPER_BODY:  checkByFlags(0, LowerBody); return true;
    case IDC_LOWER_BODY:  checkByFlags(LowerBody, LowerBody); return true;
    case IDC_CHECK_ALL:   checkByFlags(0, 0); return true;
    case IDC_UNCHECK_ALL: checkByFlags(1, 0); return true;
    case IDC_SAMPLE_POSE: if (enabled(window, IDC_SAMPLE_POSE)) openSamplePoseDialog(window); return true;
    }
    return false;
}

LRESULT CALLBACK captureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:  startSequence(window); return 0;
    case WM_TIMER:   onSequenceTimer(window); return 0;
    case WM_COMMAND: if (onCommand(window, LOWORD(wParam))) return 0; break;
    case WM_CLOSE:
    case WM_DESTROY: PostQuitMessage(1); return 0;
    case WM_POWERBROADCAST: if (wParam == resumeFromSuspend) return 0; break;
    }
    return DefDlgProcW(window, message, wParam, lParam);
}

static void keepCheckedPose(HWND dialog) {
    for (int i = 0; i <= IDC_POSE_LAST - IDC_POSE_FIRST; ++i)
        if (IsDlgButtonChecked(dialog, IDC_POSE_FIRST + i) == BST_CHECKED) samplePose = i;
}

INT_PTR CALLBACK samplePoseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        CheckRadioButton(dialog, IDC_POSE_FIRST, IDC_POSE_LAST, IDC_POSE_FIRST + samplePose);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) keepCheckedPose(dialog);
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
        EndDialog(dialog, 0);
        return TRUE;
    case WM_CLOSE:
    case WM_DESTROY:
        EndDialog(dialog, 0);
        return TRUE;
    }
    return FALSE;
}
