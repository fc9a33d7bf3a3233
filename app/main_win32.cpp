// Start-up of Gestalyx.exe: the part mask from the command line, the
// settings file, then the capture window and its message loop. The exit
// status tells the host whether the pose file was written (0) or not (1).
// "/settings" starts the hardware settings mode and "/monitor" the monitor
// in place of the capture window.
#include <windows.h>
#include <commctrl.h>

#include <iterator>

#include "app/capture_window_win32.h"
#include "app/command_line.h"
#include "platform/error_report.h"
#include "platform/platform_win32.h"
#include "platform/program.h"
#include "app/resource.h"
#include "app/settings_file.h"
#include "device/node_check.h"
#include "device/port_search.h"
#include "device/serial_port.h"
#include "model/body_parts.h"
#include "output/pose_file.h"
#include "hardware_settings/calibration_page_win32.h"
#include "hardware_settings/hardware_settings.h"
#include "hardware_settings/settings_sheet_win32.h"
#include "hardware_settings/switch_page_win32.h"
#include "monitor/monitor_settings.h"
#include "monitor/monitor_window_win32.h"
#include "solver/sample_poses.h"

static void clearProgramState(HINSTANCE instance) {
    appInstance = instance;
    captureWindow = nullptr;
    progressBar = nullptr;
    sequenceRunning = 0;
    currentPart = 0;
    samplePose = 0;
    poseFile = nullptr;
    writeFailed = 0;
    portNumber = 0;
    captureSource = CaptureDemo;
    productDesc[0] = '\0';
    settingsMode = 0;
    switchSource = 0;
    calibrationStatusBar = nullptr;
    switchStatusBar = nullptr;
    liveTimerActive = 0;
    arrowBitmap = nullptr;
    resetBodyPartTable();
}

// The hardware settings mode: the port is open from before the survey until
// the sheet has closed, on every way out. It always ends with status 1.
static int runSettingsMode() {
    if (!openConfiguredPort(portNumber, productDesc)) return 1;
    if (surveyNodes() && !runSettingsSheet()) reportError("can not create dialog window");
    closePort();
    return 1;
}

// The monitor: the port is open from before the node check until the
// window has closed and its reader has stopped, on every way out. A node
// that does not answer the check is named and ends the mode with 1;
// closing the window ends it with 0.
static int runMonitorMode(const char* keysFile) {
    if (!openConfiguredPort(portNumber, productDesc)) return 1;
    captureLabel = "LIVE";
    int checked = 1;
    for (int row = 0; row < bodyPartCount && checked; ++row)
        if (!(bodyPartTable[row].flags & NoNode)) checked = checkPartNode(row);
    int status = checked ? runMonitorWindow(keysFile) : 1;
    closePort();
    return status;
}

static int registerCaptureWindowClass() {
    wchar_t className[32];
    toWide(programName, className, static_cast<int>(std::size(className)));
    WNDCLASSW windowClass{};
    windowClass.style = 0;
    windowClass.lpfnWndProc = captureWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = DLGWINDOWEXTRA;  // a class named by a dialog template needs it
    windowClass.hInstance = appInstance;
    windowClass.hIcon = LoadIconW(appInstance, L"IconMain");
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    return RegisterClassW(&windowClass) != 0;
}

static void setInitialControls() {
    wchar_t version[16];
    toWide(programVersion, version, static_cast<int>(std::size(version)));
    SetDlgItemTextW(captureWindow, IDC_VERSION, version);
    disableUnselectable();
    checkByFlags(0, 0);
    EnableWindow(GetDlgItem(captureWindow, IDC_SAMPLE_POSE), FALSE);
    EnableWindow(GetDlgItem(captureWindow, IDOK), FALSE);
    setupProgressBar();
    showCaptureSource();
}

static int runMessageLoop() {
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) return 1;
        if (!IsDialogMessageW(captureWindow, &message)) DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    clearProgramState(instance);

    // The monitor solves every part, as the part mask 7f lets the capture mode.
    std::uint32_t partMask = 0;
    char keysFile[MAX_PATH];
    bool monitorMode = isMonitorSwitch(commandLine, keysFile, sizeof keysFile);
    if (monitorMode) partMask = 0x7F;
    else if (isSettingsSwitch(commandLine)) settingsMode = 1;
    else if (!parsePartMask(commandLine, partMask)) {
        reportError("起動引数が不正です。適用する部位を表す 16 進数を 1 つ指定してください (例: 7f)。");
        return 1;
    }
    applyPartMask(partMask);
    if (!loadSettings()) return 1;
    if (monitorMode && !loadMonitorSettings()) return 1;

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_TAB_CLASSES |
                                                      ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
    if (settingsMode != 0) return runSettingsMode();
    if (monitorMode) return runMonitorMode(keysFile);
    // The doll's port, for a live capture, stays open until the program ends.
    if (!openCaptureSource()) return 1;
    if (!registerCaptureWindowClass()) {
        reportError("can not regist window class");
        closePort();
        return 1;
    }
    captureWindow = CreateDialogParamW(appInstance, L"DialogMain", nullptr, nullptr, 0);
    if (captureWindow == nullptr) {
        reportError("can not create main dialog window");
        closePort();
        return 1;
    }
    setInitialControls();
    int status = runMessageLoop();
    closePort();
    return status;
}
