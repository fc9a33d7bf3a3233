#include "tools/driver/driver.h"

#include <vector>

#include <commctrl.h>
#include <prsht.h>

int startProgram(DrivenProgram& program, const std::wstring& exePath, const std::wstring& argument,
                 const std::wstring& workingDirectory) {
    std::wstring commandLine = L"\"" + exePath + L"\" " + argument;
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(exePath.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          workingDirectory.c_str(), &startup, &program.process) != 0;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

static BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64];
    if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
    GetClassNameW(window, className, 64);
    if (lstrcmpiW(className, search->className) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

HWND findWindow(const DrivenProgram& program, const wchar_t* className) {
    WindowSearch search{program.process.dwProcessId, className, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

template <typename Condition>
static bool waitFor(Condition condition, int timeoutMs) {
    for (DWORD start = GetTickCount();;) {
        if (condition()) return true;
        if (static_cast<int>(GetTickCount() - start) > timeoutMs) return false;
        Sleep(20);
    }
}

HWND waitForWindow(const DrivenProgram& program, const wchar_t* className, int timeoutMs) {
    HWND window = nullptr;
    waitFor([&] {
        window = findWindow(program, className);
        return window != nullptr || WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0;
    }, timeoutMs);
    return window;
}

// WM_GETTEXT, since GetWindowText does not ask a window of another process
// (an edit control's text, for one, would read as empty).
// The whole text, however long (a settings file in Notepad's edit is several thousand characters).
static std::wstring windowText(HWND window) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 60000, &length);
    std::wstring text(length + 1, L'\0');
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_NORMAL, 60000, &length);
    text.resize(length);
    return text;
}

static BOOL CALLBACK findMessageText(HWND child, LPARAM parameter) {
    wchar_t className[32];
    GetClassNameW(child, className, 32);
    std::wstring text = windowText(child);
    if (lstrcmpiW(className, L"Static") == 0 && !text.empty()) {
        *reinterpret_cast<std::wstring*>(parameter) = text;
        return FALSE;
    }
    return TRUE;
}

// The program's boxes are titled with its name alone; its dialogs (the monitor, the settings sheet) otherwise.
static BOOL CALLBACK matchMessageBox(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    if (matchWindow(window, parameter) || windowText(window) != L"Gestalyx") {
        search->found = nullptr;
        return TRUE;
    }
    return FALSE;
}

int waitForMessageBox(const DrivenProgram& program, MessageBoxSeen& seen, int timeoutMs) {
    WindowSearch search{program.process.dwProcessId, L"#32770", nullptr};
    waitFor([&] {
        EnumWindows(matchMessageBox, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr || WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0;
    }, timeoutMs);
    HWND box = search.found;
    if (box == nullptr) return 0;
    seen.window = box;
    seen.title = windowText(box);
    seen.text.clear();
    // The box may still be filling in its controls.
    waitFor([&] {
        EnumChildWindows(box, findMessageText, reinterpret_cast<LPARAM>(&seen.text));
        return !seen.text.empty();
    }, 2000);
    return 1;
}

int isEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) ? 1 : 0; }
int isVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) ? 1 : 0; }
int isChecked(HWND dialog, int id) {
    return SendMessageW(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}
std::wstring controlText(HWND dialog, int id) { return windowText(GetDlgItem(dialog, id)); }

int pressButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr || !IsWindowVisible(button) || !IsWindowEnabled(button)) return 0;
    // Posted, so that a button that opens a modal dialog does not hold the driver.
    return PostMessageW(button, BM_CLICK, 0, 0) ? 1 : 0;
}

int waitUntilEnabled(HWND dialog, int id, int timeoutMs) {
    return waitFor([&] { return isEnabled(dialog, id) == 1; }, timeoutMs) ? 1 : 0;
}

int waitUntilStarted(HWND captureWindow, int timeoutMs) {
    return waitFor([&] { return isEnabled(captureWindow, IDOK) == 0; }, timeoutMs) ? 1 : 0;
}

// Long enough for an operation whose exchanges all time out three times.
constexpr UINT handledTimeoutMs = 60000;

static LRESULT sendAndWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, handledTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

int clickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button == nullptr || !IsWindowVisible(button) || !IsWindowEnabled(button)) return 0;
    sendAndWait(button, BM_CLICK, 0, 0);
    return 1;
}

void typeText(HWND dialog, int id, const std::wstring& text) {
    sendAndWait(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::wstring> comboItems(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    std::vector<std::wstring> items;
    LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t item[256] = L"";
        if (SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) < 256)
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        items.emplace_back(item);
    }
    return items;
}

int selectComboItem(HWND dialog, int id, int index) {
    HWND combo = GetDlgItem(dialog, id);
    if (SendMessageW(combo, CB_SETCURSEL, index, 0) != index) return 0;
    sendAndWait(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
    return 1;
}

void clickScrollArrow(HWND dialog, int id, int code) {
    HWND bar = GetDlgItem(dialog, id);
    sendAndWait(dialog, WM_VSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(bar));
    sendAndWait(dialog, WM_VSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(bar));
}

std::wstring statusBarText(HWND window) {
    HWND bar = FindWindowExW(window, nullptr, L"msctls_statusbar32", nullptr);
    return bar != nullptr ? windowText(bar) : std::wstring();
}

int statusBarInside(HWND window) {
    HWND bar = FindWindowExW(window, nullptr, L"msctls_statusbar32", nullptr);
    RECT barRect, client, common;
    if (bar == nullptr || !IsWindowVisible(bar) || !GetWindowRect(bar, &barRect) || !GetClientRect(window, &client))
        return 0;
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    if (!IntersectRect(&common, &barRect, &client) || !EqualRect(&common, &barRect)) return 0;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT place;
        if (child != bar && IsWindowVisible(child) && GetWindowRect(child, &place) &&
            IntersectRect(&common, &barRect, &place))
            return 0;
    }
    return 1;
}

HWND focusedWindow(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// PSM_GETCURRENTPAGEHWND and PSM_SETCURSEL carry no pointers, so they reach
// another process's sheet unchanged.
HWND currentSheetPage(HWND sheet) {
    return reinterpret_cast<HWND>(sendAndWait(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

HWND selectSheetPage(HWND sheet, int index) {
    sendAndWait(sheet, PSM_SETCURSEL, index, 0);
    return currentSheetPage(sheet);
}

void pressEscape(HWND window) {
    HWND target = GetDlgItem(window, IDCANCEL);
    PostMessageW(target != nullptr ? target : window, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target != nullptr ? target : window, WM_KEYUP, VK_ESCAPE, 0xC0010001);
}

void pressCloseBox(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// WM_NEXTDLGCTL goes to the outermost dialog, as the dialog manager sends it
// for Tab, so that a dialog nested in another (a sheet's page) moves the focus
// and the default button as the outer one knows them.
void pressKey(HWND dialog, int id, UINT key) {
    HWND control = GetDlgItem(dialog, id);
    sendAndWait(GetAncestor(control, GA_ROOT), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    auto scanCode = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    PostMessageW(control, WM_KEYDOWN, key, MAKELPARAM(1, scanCode));
    PostMessageW(control, WM_KEYUP, key, MAKELPARAM(1, scanCode | KF_REPEAT | KF_UP));
}

HWND waitForMonitorWindow(const DrivenProgram& program, int timeoutMs) {
    HWND monitor = nullptr;
    waitFor([&] {
        HWND window = FindWindowW(L"#32770", L"Gestalyx モニタ");
        DWORD process = 0;
        if (window != nullptr) GetWindowThreadProcessId(window, &process);
        if (process == program.process.dwProcessId && IsWindowVisible(window)) monitor = window;
        return monitor != nullptr || WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0;
    }, timeoutMs);
    return monitor;
}

HWND waitForSheet(const DrivenProgram& program) {
    HWND sheet = nullptr;
    waitFor([&] {
        HWND window = findWindow(program, L"#32770");
        if (window != nullptr && windowText(window) != L"Gestalyx") sheet = window;
        return window != nullptr || WaitForSingleObject(program.process.hProcess, 0) == WAIT_OBJECT_0;
    }, 20000);
    return sheet;
}

int waitForExit(DrivenProgram& program, DWORD& exitStatus, int timeoutMs) {
    if (program.process.hProcess == nullptr) return 0;
    int ended = WaitForSingleObject(program.process.hProcess, timeoutMs) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(program.process.hProcess, 99);
    GetExitCodeProcess(program.process.hProcess, &exitStatus);
    CloseHandle(program.process.hProcess);
    CloseHandle(program.process.hThread);
    program.process = PROCESS_INFORMATION{};
    return ended;
}

std::wstring directoryOfThisProgram() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path, length);
    return directory.substr(0, directory.find_last_of(L"\\/") + 1);
}

std::wstring utf8ToWide(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    return wide;
}

std::string wideToUtf8(const std::wstring& text) {
    int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(length > 0 ? length - 1 : 0, '\0');
    if (length > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, narrow.data(), length, nullptr, nullptr);
    return narrow;
}
