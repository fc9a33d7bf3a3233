// driver.exe: runs Gestalyx.exe (next to it) in the current directory.
//   driver press-when-ready ARG    presses 実行 as soon as it is enabled
//   driver show ARG SECONDS        waits for the ready window, prints its
//                                  rectangle, waits, then presses キャンセル
// Message boxes are printed and closed; the exit status is printed last.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include "tools/driver/driver.h"

static void closeBoxes(DrivenProgram& program) {
    MessageBoxSeen box;
    while (waitForMessageBox(program, box, 500)) {
        std::printf("message box \"%s\": %s\n", wideToUtf8(box.title).c_str(), wideToUtf8(box.text).c_str());
        std::fflush(stdout);
        pressButton(box.window, IDOK);
        Sleep(300);
    }
}

int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 3) {
        std::fprintf(stderr, "usage: driver press-when-ready|show ARG [SECONDS]\n");
        return 2;
    }
    std::wstring command = argv[1];
    wchar_t here[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    DrivenProgram program;
    if (!startProgram(program, directoryOfThisProgram() + L"Gestalyx.exe", argv[2], here)) {
        std::fprintf(stderr, "driver: cannot start Gestalyx.exe\n");
        return 2;
    }
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
            RECT rect;
            GetWindowRect(window, &rect);
            std::printf("%ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
            std::fflush(stdout);
            Sleep(1000 * (argc > 3 ? _wtoi(argv[3]) : 3));
            pressButton(window, IDCANCEL);
        } else {
            pressButton(window, IDOK);
        }
    }
    closeBoxes(program);
    DWORD status = 0;
    if (!waitForExit(program, status, 30000)) std::printf("Gestalyx.exe did not end; stopped\n");
    std::printf("exit status %lu\n", status);
    return 0;
}
