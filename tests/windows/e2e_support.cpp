#include "tests/windows/e2e_support.h"

#include <gtest/gtest.h>


const char* const standardSettings =
    "[COMM]\r\nPortNumber=3\r\n"
    "[NODE]\r\nchest=1\r\nhead=1\r\nrShldr=1\r\nrForeArm=1\r\nlShldr=1\r\nlForeArm=1\r\n"
    "rThigh=1\r\nrShin=1\r\nlThigh=1\r\nlShin=1\r\n";

static void removeTree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) removeTree(child);
            else DeleteFileW(child.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void startIn(ProgramRun& run, const char* settings, const std::wstring& argument) {
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    std::wstring root = directoryOfThisProgram() + L"e2e-work";
    CreateDirectoryW(root.c_str(), nullptr);
    std::string name = std::string(test->test_suite_name()) + "." + test->name();
    for (char& c : name) if (c == '/') c = '_';
    run.folder = root + L"\\" + utf8ToWide(name.c_str());
    removeTree(run.folder);
    ASSERT_TRUE(CreateDirectoryW(run.folder.c_str(), nullptr));
    if (settings != nullptr) writeFile(run.folder + L"\\Gestalyx.ini", settings);
    ASSERT_TRUE(startProgram(run.program, directoryOfThisProgram() + L"Gestalyx.exe", argument, run.folder));
}

void waitForCaptureWindow(ProgramRun& run) {
    run.window = waitForWindow(run.program, L"Gestalyx", windowTimeoutMs);
    ASSERT_NE(run.window, nullptr) << "no capture window";
    ASSERT_TRUE(waitUntilStarted(run.window, 5000)) << "実行 enabled before the node check";
}

void startWhenReady(ProgramRun& run, const char* settings, const std::wstring& argument) {
    startIn(run, settings, argument);
    if (!testing::Test::HasFatalFailure()) waitUntilReady(run);
}

void waitUntilReady(ProgramRun& run) {
    waitForCaptureWindow(run);
    if (testing::Test::HasFatalFailure()) return;
    ASSERT_TRUE(waitUntilEnabled(run.window, IDOK, sequenceTimeoutMs)) << "実行 never enabled";
}

DWORD exitStatusOf(ProgramRun& run) {
    DWORD status = 0;
    EXPECT_TRUE(waitForExit(run.program, status, exitTimeoutMs)) << "Gestalyx.exe did not end";
    return status;
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &got, nullptr) && got > 0) bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void writeFile(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, bytes.size());
}
