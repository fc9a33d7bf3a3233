// The monitor window: the doll live as a figure in three views, streamed by a
// reader thread that owns the port for the whole mode, and ポーズ保存, which
// saves the next complete frame as a pose file and a motion file.
#pragma once

#include <windows.h>

// Runs the window until it is closed, the port open and the node check done.
// Returns 0, or 1 when the window or the reader could not be made (reported).
// The reader has stopped when this returns, so the port may be closed; a
// reader that does not stop within two seconds ends the process instead.
int runMonitorWindow();

INT_PTR CALLBACK monitorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
