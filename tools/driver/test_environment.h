// What the Wine tests and the monitor's soak do to the world around the
// program: switch the virtual doll through its control file, and fill a
// small disk as a full one is.
#pragma once

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

// Applies options to the doll, one a line as on its command line, renamed
// into place so that the doll never reads half of them; the doll deletes the
// file once it has applied them. False when it did not within 5 s.
// The file is put in place only once the doll has taken the one before.
inline bool applyDollControl(const std::filesystem::path& control, const std::string& lines) {
    const auto taken = [&] {
        std::error_code error;
        for (DWORD start = GetTickCount(); std::filesystem::exists(control, error) && GetTickCount() - start < 5000;)
            Sleep(10);
        return !std::filesystem::exists(control, error);
    };
    const std::filesystem::path written = control.string() + ".new";
    std::ofstream(written, std::ios::binary) << lines << "\n";
    if (!taken()) return false;
    // Wine now and then answers the rename with an I/O error just after the doll removed the file it
    // took: a moment later the same rename goes through.
    std::error_code error;
    for (int attempt = 0; attempt < 50; ++attempt, Sleep(20)) {
        std::filesystem::rename(written, control, error);
        if (!error) break;
    }
    return !error && taken();
}

// Fills the folder's disk to its last page with "filler", so that any write
// there fails as on a full disk; removing "filler" makes room again.
inline void fillDisk(const std::filesystem::path& folder) {
    std::ofstream filler(folder / "filler", std::ios::binary);
    const std::string page(4096, 'x');
    while (filler.write(page.data(), page.size()) && filler.flush()) {
    }
}
