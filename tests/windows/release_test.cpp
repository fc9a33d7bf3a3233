// What a Windows user gets: the version Explorer shows in the file's properties and the loader reads in
// its manifest, and the unpacked release (from tests/release/check_package) used as it comes.
#include "tests/windows/support.h"

#include "app/resource.h"
#include "platform/version.h"

namespace {

const std::string fileVersion = std::to_string(GESTALYX_VERSION_MAJOR) + "." + std::to_string(GESTALYX_VERSION_MINOR) +
                                "." + std::to_string(GESTALYX_VERSION_PATCH) + ".0";

// Both numbers and every text of the Japanese string table follow platform/version.h; so does the manifest.
TEST(FileVersion, ResourceAndManifestCarryTheVersionOfTheSource) {
    const std::wstring program = directoryOfThisProgram() + L"Gestalyx.exe";
    std::vector<BYTE> info(GetFileVersionInfoSizeW(program.c_str(), nullptr));
    ASSERT_FALSE(info.empty());
    ASSERT_TRUE(GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(info.size()), info.data()));
    void* value;
    UINT length;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", &value, &length));
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    const DWORD high = MAKELONG(GESTALYX_VERSION_MINOR, GESTALYX_VERSION_MAJOR), low = MAKELONG(0, GESTALYX_VERSION_PATCH);
    EXPECT_EQ(fixed->dwFileVersionMS, high);
    EXPECT_EQ(fixed->dwFileVersionLS, low);
    EXPECT_EQ(fixed->dwProductVersionMS, high);
    EXPECT_EQ(fixed->dwProductVersionLS, low);
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_EQ(length, 2 * sizeof(WORD));
    EXPECT_EQ(static_cast<const WORD*>(value)[0], MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN));
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);  // UTF-16
    const struct {
        const wchar_t* key;
        std::string text;
    } strings[] = {
        {L"FileVersion", fileVersion},
        {L"ProductVersion", fileVersion},
        {L"ProductName", "Gestalyx"},
        {L"OriginalFilename", "Gestalyx.exe"},
        {L"FileDescription", "Gestalyx 人形ポーズ取り込み"},
    };
    for (const auto& row : strings) {
        SCOPED_TRACE(wideToUtf8(row.key));
        ASSERT_TRUE(VerQueryValueW(info.data(), (std::wstring(L"\\StringFileInfo\\041104b0\\") + row.key).c_str(),
                                   &value, &length));
        EXPECT_EQ(wideToUtf8(static_cast<const wchar_t*>(value)), row.text);
    }

    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC manifest = FindResourceW(module, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST);
    ASSERT_NE(manifest, nullptr);
    std::string text(static_cast<const char*>(LockResource(LoadResource(module, manifest))),
                     SizeofResource(module, manifest));
    EXPECT_NE(text.find("name=\"Gestalyx\" version=\"" + fileVersion + "\""), std::string::npos) << text;
    FreeLibrary(module);
}

// The folder the release was unpacked into, as tests/release/check_package passes it on.
fs::path packageFolder() {
    std::string folder = dollSetting("GESTALYX_PACKAGE_FOLDER");
    return folder.empty() ? fs::path() : fs::path("Z:" + folder);
}

// Started by the host from the unpacked folder with a part mask: the packaged settings file is read
// (a misread one would refuse the start with a message), and 実行 writes the pose file and gives 0.
TEST(Package, CaptureRunsFromTheUnpackedFolder) {
    ProgramRun run;
    run.folder = packageFolder();
    if (run.folder.empty()) GTEST_SKIP() << "run by tests/release/check_package";
    ASSERT_TRUE(startProgram(run.program, (run.folder / "Gestalyx.exe").wstring(), L"7f", run.folder.wstring()));
    run.window = waitForWindow(run.program, L"Gestalyx", timeoutMs);
    MessageBoxSeen box;
    ASSERT_NE(run.window, nullptr) << (waitForMessageBox(run.program, box, 0) ? wideToUtf8(box.text) : "no window");
    ASSERT_TRUE(waitUntilStarted(run.window, 5000));
    ASSERT_TRUE(waitUntilEnabled(run.window, IDOK, timeoutMs)) << "実行 never enabled";
    executeAndExpect(run, expectedPoseFile(run, 0x7F, 0x3FFFF, -1, 0));
}

// Notepad shows the packaged settings file's text exactly as examples/Gestalyx.ini has it.
TEST(Package, NotepadShowsTheSettingsFileAsWritten) {
    fs::path folder = packageFolder();
    if (folder.empty()) GTEST_SKIP() << "run by tests/release/check_package";
    std::string expected = std::regex_replace(readFile("Z:" + dataFile("../../examples/Gestalyx.ini")),
                                              std::regex("\n"), "\r\n");
    DrivenProgram notepad;
    ASSERT_TRUE(startProgram(notepad, L"C:\\windows\\notepad.exe", L"Gestalyx.ini", folder.wstring()));
    HWND window = waitForWindow(notepad, L"Notepad", timeoutMs);
    ASSERT_NE(window, nullptr);
    HWND edit = FindWindowExW(window, nullptr, L"Edit", nullptr);
    EXPECT_EQ(wideToUtf8(controlText(window, GetDlgCtrlID(edit))), expected);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD status;
    EXPECT_TRUE(waitForExit(notepad, status, timeoutMs));
}

}  // namespace
