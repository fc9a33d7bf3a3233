// live_capture_bench [RUNS]: times live capture as a host sees it. Starts
// Gestalyx.exe (next to this program) with the part mask 7f in the current
// folder, whose Gestalyx.ini reads the doll, waits until the node check has
// enabled 実行, presses it and waits for the program to end. One line per run:
//
//   run N: start to 実行 enabled X ms, 実行 to exit Y ms, exit status S
//
// The first figure includes window creation and is polled every 20 ms; the
// second is measured from the press to the end of the process.
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>

#include <windows.h>

#include "tools/driver/driver.h"

namespace {

double millisecondsSince(const LARGE_INTEGER& start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int timeOneRun(int run) {
    wchar_t here[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, here);
    DrivenProgram program;
    LARGE_INTEGER started, pressed;
    QueryPerformanceCounter(&started);
    if (!startProgram(program, directoryOfThisProgram() + L"Gestalyx.exe", L"7f", here)) {
        std::fprintf(stderr, "live_capture_bench: cannot start Gestalyx.exe\n");
        return 0;
    }
    HWND window = waitForWindow(program, L"Gestalyx", 20000);
    if (window == nullptr || !waitUntilStarted(window, 5000) || !waitUntilEnabled(window, IDOK, 20000)) {
        std::fprintf(stderr, "live_capture_bench: run %d: 実行 was never enabled\n", run);
        DWORD ignored;
        waitForExit(program, ignored, 0);
        return 0;
    }
    double nodeCheck = millisecondsSince(started);
    QueryPerformanceCounter(&pressed);
    pressButton(window, IDOK);
    DWORD status = 0;
    int ended = waitForExit(program, status, 30000);
    double capture = millisecondsSince(pressed);
    std::printf("run %d: start to 実行 enabled %.1f ms, 実行 to exit %.1f ms, exit status %lu\n", run, nodeCheck,
                capture, status);
    std::fflush(stdout);
    return ended && status == 0;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    int runs = argc > 1 ? std::atoi(argv[1]) : 5;
    int failed = 0;
    for (int run = 1; run <= runs; ++run)
        if (!timeOneRun(run)) ++failed;
    return failed == 0 ? 0 : 1;
}
