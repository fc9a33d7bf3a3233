#include "tests/windows/device_doll.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>

namespace {

// A Unix path from the environment, as Wine shows it on drive Z:.
std::string windowsPathOf(const char* variable) {
    char value[1024];
    DWORD length = GetEnvironmentVariableA(variable, value, sizeof value);
    if (length == 0 || length >= sizeof value) return "";
    std::string path = std::string("Z:") + value;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string readFrom(const std::string& path, std::size_t offset) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER start;
    start.QuadPart = static_cast<LONGLONG>(offset);
    SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

// "<ms> <request> -> <reply>[ <fault>]"; remarks and partial lines give nothing.
std::vector<LoggedExchange> parseLog(const std::string& text) {
    std::vector<LoggedExchange> exchanges;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        std::string line = text.substr(start, end - start);
        std::size_t request = line.find(' ');
        std::size_t arrow = line.find(" -> ");
        if (line.empty() || line[0] == '#' || request == std::string::npos || arrow == std::string::npos) continue;
        exchanges.push_back({line.substr(request + 1, arrow - request - 1), line.substr(arrow + 4)});
    }
    return exchanges;
}

std::vector<std::string>* boxTexts;
std::vector<HWND>* boxesClosed;

BOOL CALLBACK readBoxText(HWND child, LPARAM) {
    wchar_t className[16];
    wchar_t text[512];
    GetClassNameW(child, className, 16);
    GetWindowTextW(child, text, 512);
    if (lstrcmpiW(className, L"Static") != 0 || text[0] == L'\0') return TRUE;
    char utf8[1536];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    boxTexts->push_back(utf8);
    return FALSE;
}

BOOL CALLBACK closeBox(HWND window, LPARAM) {
    wchar_t className[16];
    GetClassNameW(window, className, 16);
    if (lstrcmpW(className, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    if (std::find(boxesClosed->begin(), boxesClosed->end(), window) != boxesClosed->end()) return TRUE;
    boxesClosed->push_back(window);
    EnumChildWindows(window, readBoxText, 0);
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return TRUE;
}

// Runs inside the box's own message loop.
void CALLBACK closeBoxesOfThisThread(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), closeBox, 0);
}

}  // namespace

std::uint32_t dollPort() {
    char value[16];
    DWORD length = GetEnvironmentVariableA("GESTALYX_DOLL_PORT", value, sizeof value);
    if (length == 0 || length >= sizeof value) return 0;
    return static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
}

void controlDoll(const std::string& lines) {
    std::string control = windowsPathOf("GESTALYX_DOLL_CONTROL");
    ASSERT_FALSE(control.empty()) << "not run through tools/with-virtual-doll";
    // Written under another name and renamed into place, so the doll never sees half of it.
    std::string written = control + ".new";
    HANDLE file = CreateFileA(written.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD count = 0;
    WriteFile(file, lines.data(), static_cast<DWORD>(lines.size()), &count, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(MoveFileExA(written.c_str(), control.c_str(), MOVEFILE_REPLACE_EXISTING));
    // The doll deletes the file once it has applied it.
    for (int waited = 0; GetFileAttributesA(control.c_str()) != INVALID_FILE_ATTRIBUTES; waited += 10) {
        ASSERT_LT(waited, 3000) << "the doll did not take " << lines;
        Sleep(10);
    }
}

std::size_t logMark() {
    return readFrom(windowsPathOf("GESTALYX_DOLL_LOG"), 0).size();
}

std::vector<LoggedExchange> exchangesSince(std::size_t mark, std::size_t expected) {
    std::string log = windowsPathOf("GESTALYX_DOLL_LOG");
    std::vector<LoggedExchange> exchanges;
    // The doll writes a line once the exchange is over, which may be just after the reply.
    for (int waited = 0; waited <= 2000; waited += 10) {
        exchanges = parseLog(readFrom(log, mark));
        if (exchanges.size() >= expected) break;
        Sleep(10);
    }
    return exchanges;
}

std::vector<std::string> errorBoxesShownBy(const std::function<void()>& call) {
    std::vector<std::string> texts;
    std::vector<HWND> closed;
    boxTexts = &texts;
    boxesClosed = &closed;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, closeBoxesOfThisThread);
    call();
    KillTimer(nullptr, timer);
    return texts;
}
