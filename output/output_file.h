// What the file writers share: creating a file, formatted writes that
// remember a failure, and closing, with the messages for a file that cannot
// be created or written.
#pragma once

#include <cstdio>

// How files are made. 0 (live capture, whose pose file the host reads from a
// fixed name): under their own name, and a failed write leaves the partial
// file there. 1 (the monitor's takes): under a temporary name in the same
// folder, "<fileName>.<process>.tmp", moved to `fileName` only once complete
// and only while no file has that name; otherwise the temporary file is
// removed. Either way the file is complete or absent, and never replaces one.
extern int completeFilesOnly;

// Opens `fileName` (or its temporary name) with "wb", so that every line ends
// in the one LF written, on Windows as elsewhere. When it cannot be created,
// shows "<kind> (<fileName>) を作成できません。" in the error box and returns null.
std::FILE* createOutputFile(const char* kind, const char* fileName);

// Writes to `file` as fprintf does; a write that fails sets `failed`.
[[gnu::format(printf, 3, 4)]] void putOutput(std::FILE* file, int& failed, const char* format, ...);

// Closes `file`, whatever happened before. When closing fails or `failed` is
// set, shows "<kind> (<fileName>) に書き込めません。" and returns 0; the
// partial file stays on disk unless completeFilesOnly is set. Otherwise
// returns 1; with completeFilesOnly, only once the file has its name, and a
// name taken meanwhile gives the message of a file that cannot be created.
int closeOutputFile(std::FILE* file, int failed, const char* kind, const char* fileName);
