// The monitor window: the doll live as a figure in three views, streamed by a
// reader thread that owns the port for the whole mode, and ポーズ保存, which
// saves the next complete frame as a pose file and a motion file; 記録
// records the doll live, and キー takes its poses one by one.
#pragma once

#include <windows.h>

// Runs the window until it is closed, the port open and the node check done;
// `keysFile` (or "") is a take of keys to go on with. Returns 0, or 1 when
// the window or the reader could not be made or the keys file could not be
// read (reported).
// The reader has stopped when this returns, so the port may be closed; a
// reader that does not stop within two seconds ends the process instead.
int runMonitorWindow(const char* keysFile);

INT_PTR CALLBACK monitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
