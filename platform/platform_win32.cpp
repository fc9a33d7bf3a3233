#include "platform/platform_win32.h"

#include <io.h>

#include <cstdio>
#include <iterator>

#include "platform/platform.h"
#include "platform/program.h"

HINSTANCE appInstance;
HWND captureWindow;

void toWide(const char* text, wchar_t* wide, int capacity) {
    if (capacity <= 0) return;
    // One UTF-8 byte never gives more than one UTF-16 unit, so a text of fewer
    // bytes than `capacity` always fits; a longer one is cut at a character start.
    int length = lstrlenA(text);
    if (length >= capacity) {
        length = capacity - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    int written = MultiByteToWideChar(CP_UTF8, 0, text, length, wide, capacity - 1);
    wide[written] = L'\0';
}

void showErrorBox(const char* text) {
    wchar_t wideText[2048];
    wchar_t wideTitle[32];
    toWide(text, wideText, static_cast<int>(std::size(wideText)));
    toWide(programName, wideTitle, static_cast<int>(std::size(wideTitle)));
    MessageBoxW(captureWindow, wideText, wideTitle, MB_ICONERROR);
}

LocalTime currentLocalTime() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

unsigned readSettingsValue(const char* fileName, const char* section, const char* key, char* buffer,
                           unsigned size) {
    // The file is ANSI text; its bytes are taken as they stand.
    return GetPrivateProfileStringA(section, key, "", buffer, size, fileName);
}

unsigned processNumber() { return GetCurrentProcessId(); }

int truncateFile(const char* name, long size) {
    std::FILE* file = std::fopen(name, "r+b");
    if (file == nullptr) return 0;
    const bool cut = _chsize_s(_fileno(file), size) == 0;
    return (std::fclose(file) == 0) && cut;
}

int claimFileName(const char* from, const char* to) {
    // The names are the program's own ASCII names, so the ANSI call serves.
    return MoveFileExA(from, to, MOVEFILE_WRITE_THROUGH) != 0;
}
