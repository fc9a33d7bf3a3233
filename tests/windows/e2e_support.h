// What the end-to-end tests share: a fresh working folder per test with its
// settings file, Gestalyx.exe started there, and the files it leaves.
#pragma once

#include <string>

#include "tools/driver/driver.h"

constexpr int windowTimeoutMs = 20000;
constexpr int sequenceTimeoutMs = 20000;
constexpr int exitTimeoutMs = 20000;

// Every node fitted, port 3.
extern const char* const standardSettings;

struct ProgramRun {
    std::wstring folder;
    DrivenProgram program;
    HWND window = nullptr;
    // A test that stopped early leaves no program behind.
    ~ProgramRun() {
        DWORD status;
        if (program.process.hProcess != nullptr) waitForExit(program, status, 0);
    }
};

// Makes an empty working folder named after the running test, writes the
// settings file into it unless `settings` is null, and starts Gestalyx.exe
// there with `argument`.
void startIn(ProgramRun& run, const char* settings, const std::wstring& argument);

// Waits for the capture window and for start-up to have set its controls
// (実行 disabled); the window shows before start-up has done so.
void waitForCaptureWindow(ProgramRun& run);

// Waits for the capture window and for the end of its node check.
void waitUntilReady(ProgramRun& run);

// startIn, then waitUntilReady.
void startWhenReady(ProgramRun& run, const char* settings, const std::wstring& argument);

DWORD exitStatusOf(ProgramRun& run);
bool fileExists(const std::wstring& path);
std::string readFile(const std::wstring& path);
void writeFile(const std::wstring& path, const std::string& bytes);
