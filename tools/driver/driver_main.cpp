// driver.exe: runs Gestalyx.exe (next to it) in the current directory.
//   driver press-when-ready ARG    presses 実行 as soon as it is enabled
//   driver show ARG SECONDS        waits for the ready window, prints its
//                                  rectangle, waits, then presses キャンセル
//   driver settings [SECONDS]      starts the settings mode (/settings),
//                                  prints what its survey found, node by
//                                  node, and the switch/LED source, then
//                                  (after SECONDS, if given) presses 閉じる
//   driver show-settings PAGE SECONDS  the same sheet on page PAGE (0 or 1):
//                                  prints its rectangle, waits, presses 閉じる
//   driver monitor SECONDS         starts the monitor (/monitor), lets it
//                                  stream, prints its status text, presses 閉じる
//   driver monitor-save            the same, pressing ポーズ保存 once and
//                                  waiting for the pose to be saved
//   driver show-monitor SECONDS    the monitor: prints its rectangle, waits,
//                                  presses 閉じる
//   driver show-keys SECONDS       the same after キー has taken a key and the
//                                  doll has taken GESTALYX_DOLL_POSTURE (a file)
//   driver monitor-record SECONDS  the monitor: presses 記録, and 停止 after
//                                  SECONDS, waits for the recording to be
//                                  saved, prints its status text, presses
//                                  閉じる. With GESTALYX_DOLL_MOTION the doll
//                                  starts that motion file as 記録 is pressed.
//   driver show-record SECONDS     the same, printing the window's rectangle
//                                  as 記録 is pressed
//   driver show-failure SECONDS    the same on the calibration page after a
//                                  仮設定 of hip that failed: the doll (through
//                                  GESTALYX_DOLL_CONTROL) silent for hip
// Message boxes are printed and closed; the exit status is printed last.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <fcntl.h>
#include <io.h>

#include "device/offset_code.h"
#include "hardware_settings/settings_resource.h"
#include "monitor/monitor_resource.h"
#include "tools/driver/driver.h"
#include "tools/driver/test_environment.h"

static void closeBoxes(DrivenProgram& program) {
    MessageBoxSeen box;
    while (waitForMessageBox(program, box, 500)) {
        std::printf("message box \"%s\": %s\n", wideToUtf8(box.title).c_str(), wideToUtf8(box.text).c_str());
        std::fflush(stdout);
        pressButton(box.window, IDOK);
        Sleep(300);
    }
}

constexpr int nodeCount = 11;

// A file of the doll's that tools/with-virtual-doll names in the variable, as
// Wine sees its Unix path (the root is drive Z:); empty when not set.
std::wstring dollFile(const char* variable) {
    const char* unixPath = std::getenv(variable);
    if (unixPath == nullptr) return L"";
    std::wstring path = L"Z:" + utf8ToWide(unixPath);
    for (wchar_t& c : path) if (c == L'/') c = L'\\';
    return path;
}

// Applies options to the doll through its control file; waits until the doll has taken them.
void controlDoll(const std::string& lines) {
    const std::wstring control = dollFile("GESTALYX_DOLL_CONTROL");
    if (!control.empty()) applyDollControl(control, lines);
}

// The stored offsets each node reported in the survey, read from the doll's
// log (GESTALYX_DOLL_LOG): the six reads after a command 5, in node order.
// Returns 0 when there is no log.
int storedOffsetsFromLog(short stored[nodeCount][3]) {
    std::wstring path = dollFile("GESTALYX_DOLL_LOG");
    if (path.empty()) return 0;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (file == nullptr) return 0;
    std::string log;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) log.append(chunk, got);
    std::fclose(file);
    std::istringstream lines(log);
    int node = -1, reads = 0;
    unsigned char bytes[6];
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string time, request, arrow, reply;
        if (line.empty() || line[0] == '#' || !(fields >> time >> request >> arrow >> reply)) continue;
        if (request.size() == 7 && request[0] == 'w' && request[4] == '5') {  // wNNs5: load the stored offsets
            ++node;
            reads = 0;
        } else if (node >= 0 && node < nodeCount && reads < 6 && request[0] == 'r' && reply.size() >= 5 &&
                   reply[0] == 'R') {
            bytes[reads++] = static_cast<unsigned char>(std::strtoul(reply.substr(3, 2).c_str(), nullptr, 16));
            if (reads == 6)
                for (int axis = 0; axis < 3; ++axis) stored[node][axis] = decodeOffset(bytes[2 * axis], bytes[2 * axis + 1]);
        }
    }
    return node >= nodeCount - 1;
}

// What the settings sheet shows of each node, with the stored offsets the
// doll reported, and the switch/LED source.
void printSurvey(HWND sheet) {
    HWND page = currentSheetPage(sheet);
    short stored[nodeCount][3] = {};
    int haveStored = storedOffsetsFromLog(stored);
    std::vector<std::wstring> parts = comboItems(page, IDC_PART_SELECTOR);
    for (int i = 0; i < static_cast<int>(parts.size()); ++i) {
        selectComboItem(page, IDC_PART_SELECTOR, i);
        // Padded by what the terminal shows: a Japanese character takes two columns.
        int columns = 0;
        for (wchar_t c : parts[i]) columns += c >= 0x1100 ? 2 : 1;
        std::printf("%s%*s firmware %-4s active %7s %7s %7s", wideToUtf8(parts[i]).c_str(), columns < 18 ? 18 - columns : 0, "",
                    wideToUtf8(controlText(page, IDC_FIRMWARE)).c_str(), wideToUtf8(controlText(page, IDC_OFFSET_X)).c_str(),
                    wideToUtf8(controlText(page, IDC_OFFSET_Y)).c_str(), wideToUtf8(controlText(page, IDC_OFFSET_Z)).c_str());
        if (haveStored && i < nodeCount)
            std::printf("  stored %7.1f %7.1f %7.1f", stored[i][0] * 0.5, stored[i][1] * 0.5, stored[i][2] * 0.5);
        std::printf("\n");
    }
    selectComboItem(page, IDC_PART_SELECTOR, 0);
    HWND switchPage = selectSheetPage(sheet, 1);
    std::printf("switch/LED source: %s\n", isChecked(switchPage, IDC_EXTERNAL_UNIT) ? "外付け (external)" : "内蔵 (built-in)");
    selectSheetPage(sheet, 0);
    std::fflush(stdout);
}

void endAndReport(DrivenProgram& program) {
    closeBoxes(program);
    DWORD status = 0;
    if (!waitForExit(program, status, 30000)) std::printf("Gestalyx.exe did not end; stopped\n");
    std::printf("exit status %lu\n", status);
}

// For tools/screenshot: the window's place on the screen, once it is ready.
void printRectangle(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
    std::fflush(stdout);
}

int runSettings(DrivenProgram& program, const std::wstring& command, int argc, wchar_t** argv) {
    HWND sheet = waitForSheet(program);
    if (sheet != nullptr && command == L"settings") {
        printSurvey(sheet);
        if (argc > 2) Sleep(1000 * _wtoi(argv[2]));
    } else if (sheet != nullptr) {
        bool failure = command == L"show-failure";
        if (argc > 2 && !failure) selectSheetPage(sheet, _wtoi(argv[2]));
        Sleep(1500);  // a first live reading on the calibration page
        if (failure) {
            HWND page = currentSheetPage(sheet);
            controlDoll("--fault silent@20");
            typeText(page, IDC_OFFSET_X, L"2.5");
            clickButton(page, IDC_APPLY_X);
        }
        printRectangle(sheet);
        int secondsAt = failure ? 2 : 3;
        Sleep(1000 * (argc > secondsAt ? _wtoi(argv[secondsAt]) : 3));
    }
    if (sheet != nullptr && pressButton(sheet, IDCANCEL))
        for (DWORD start = GetTickCount(); IsWindow(sheet) && GetTickCount() - start < 5000;) Sleep(20);
    endAndReport(program);
    return 0;
}

int runMonitor(DrivenProgram& program, const std::wstring& command, int argc, wchar_t** argv) {
    HWND window = waitForMonitorWindow(program, 20000);
    if (window != nullptr) {
        int seconds = argc > 2 ? _wtoi(argv[2]) : 3;
        auto status = [&] { return wideToUtf8(controlText(window, IDC_MONITOR_STATUS)); };
        if (command == L"monitor-record" || command == L"show-record") {
            Sleep(1000);  // the first frames
            if (const char* motion = std::getenv("GESTALYX_DOLL_MOTION"))
                controlDoll("--motion " + std::string(motion));
            pressButton(window, IDC_RECORD);
            if (command == L"show-record") printRectangle(window);
            Sleep(1000 * seconds);
            pressButton(window, IDC_RECORD);
            for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(50))
                if (status().find("保存し") != std::string::npos) break;
        } else if (command == L"monitor-save") {
            Sleep(1000);  // the first frames
            pressButton(window, IDC_SAVE_POSE);
            for (DWORD start = GetTickCount(); GetTickCount() - start < 10000; Sleep(50))
                if (status().find("保存し") != std::string::npos) break;
        } else if (command == L"show-keys") {
            Sleep(1000);  // the first frames
            pressButton(window, IDC_KEY);
            for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(50))
                if (status().find("キー 1 を取りました。") != std::string::npos) break;
            if (const char* posture = std::getenv("GESTALYX_DOLL_POSTURE")) controlDoll("--posture " + std::string(posture));
            Sleep(1500);
            printRectangle(window);
            Sleep(1000 * seconds);
        } else if (command == L"show-monitor") {
            Sleep(1500);
            printRectangle(window);
            Sleep(1000 * seconds);
        } else {
            Sleep(1000 * seconds);
        }
        std::printf("status: %s\n", status().c_str());
        if (pressButton(window, IDCANCEL))
            for (DWORD start = GetTickCount(); IsWindow(window) && GetTickCount() - start < 5000;) Sleep(20);
    }
    endAndReport(program);
    return 0;
}

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    std::wstring command = argc > 1 ? argv[1] : L"";
    bool settings = command == L"settings" || command == L"show-settings" || command == L"show-failure";
    bool monitor = command == L"monitor" || command == L"monitor-save" || command == L"show-monitor" || command == L"show-keys" ||
                   command == L"monitor-record" || command == L"show-record";
    if (argc < 3 && !settings && !monitor) {
        std::fprintf(stderr, "usage: driver press-when-ready|show ARG [SECONDS] | settings [SECONDS] | "
                             "show-settings PAGE SECONDS | show-failure SECONDS | monitor SECONDS | monitor-save | "
                             "show-monitor SECONDS | show-keys SECONDS | monitor-record SECONDS | show-record SECONDS\n");
        return 2;
    }
    wchar_t here[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    DrivenProgram program;
    const wchar_t* argument = settings ? L"/settings" : monitor ? L"/monitor" : argv[2];
    if (!startProgram(program, directoryOfThisProgram() + L"Gestalyx.exe", argument, here)) {
        std::fprintf(stderr, "driver: cannot start Gestalyx.exe\n");
        return 2;
    }
    if (settings) return runSettings(program, command, argc, argv);
    if (monitor) return runMonitor(program, command, argc, argv);
    // The capture window, or a message box that refuses the start.
    HWND window = nullptr;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 20000; Sleep(20)) {
        window = findWindow(program, L"Gestalyx");
        if (window != nullptr || findWindow(program, L"#32770") != nullptr ||
            WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0)
            break;
    }
    if (window != nullptr && waitUntilStarted(window, 5000) && waitUntilEnabled(window, IDOK, 20000)) {
        if (command == L"show") {
            printRectangle(window);
            Sleep(1000 * (argc > 3 ? _wtoi(argv[3]) : 3));
            pressButton(window, IDCANCEL);
        } else {
            pressButton(window, IDOK);
        }
    }
    endAndReport(program);
    return 0;
}
