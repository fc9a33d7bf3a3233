// What the file writers share: creating a file, formatted writes that
// remember a failure, and closing, with the messages for a file that cannot
// be created or written.
#pragma once

#include <cstdio>

// Opens `fileName` with "wb", so that every line ends in the one LF written,
// on Windows as elsewhere. When it cannot be created, shows
// "<kind> (<fileName>) を作成できません。" in the error box and returns null.
std::FILE* createOutputFile(const char* kind, const char* fileName);

// Writes to `file` as fprintf does; a write that fails sets `failed`.
[[gnu::format(printf, 3, 4)]] void putOutput(std::FILE* file, int& failed, const char* format, ...);

// Closes `file`, whatever happened before. When closing fails or `failed` is
// set, shows "<kind> (<fileName>) に書き込めません。" and returns 0; the
// partial file stays on disk. Otherwise returns 1.
int closeOutputFile(std::FILE* file, int failed, const char* kind, const char* fileName);
