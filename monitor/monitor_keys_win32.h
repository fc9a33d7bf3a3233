// Pose by pose in the monitor window: キー (or Space) asks for a key, taken
// once the doll stands still; 取消 (or Ctrl+Z) takes the last back; the hold
// spin sets how many frames each key taken from now on holds; 再生 plays the
// keys with their in-betweens; 書出 writes them as keys-NNN.bvh and
// keys-NNN.pz2. Each key is in the take's keys-NNN.keys the moment it is
// taken, so that nothing the user posed is lost with the program.
#pragma once

#include <windows.h>

#include "monitor/monitor_frame.h"
#include "solver/figure_pose.h"

constexpr UINT_PTR keysPlayTimer = 3;

// Sets up the hold spin from [MONITOR] KeyHold, with no keys.
void initKeys(HWND window);

// Once the window shows: `keysFile` (the command line's, or "") is opened to
// go on with; without one, the latest keys-NNN.keys without its
// keys-NNN.bvh is offered (はい/いいえ). `said` is what the status text is
// to say, or null. Returns 0 when the named file cannot be read, after a box
// has said why.
int startKeys(HWND window, const char* keysFile, const char*& said);

// Every frame the monitor takes, in order. Returns what the status text is
// to say, or null.
const char* keysTakeFrame(const MonitorFrame& frame);

// キー, 取消, 再生 and 書出; `problem` is the writers' last report. Returns
// what the status text is to say, or null.
const char* onKeysCommand(HWND window, int id, const char* problem);

// Space asks for a key and Ctrl+Z takes one back, whichever control of
// `window` has the focus. Returns 1 when `message` was one of them, which is
// then not to be dispatched.
int keysShortcut(HWND window, const MSG& message);

// keysPlayTimer's tick: the next frame played, and the end of playback.
// Returns what the status text is to say, or null.
const char* onKeysPlayTimer(HWND window);

// "キー 3 (1.0 秒)　", or "" without keys.
void keysStatus(char* text, int size);

// While playing, the pose to draw in place of the live figure; else null.
const FigurePose* playedPose();

// The last key's pose, drawn faintly under the figure; null without keys.
const FigurePose* onionPose();
