// The monitor's picture: the figure in three views, each with the floor.
#pragma once

#include <windows.h>

#include <cstdint>

#include "solver/figure_pose.h"

// Draws the three views side by side into `picture` of `dc`, in the window's
// font: thicker lines for parts with a node, red for a part whose bit is set
// in `failedRows`; `onion`, when given, faintly under it in every view.
void drawMonitorPicture(HDC dc, HWND window, const RECT& picture, const FigurePose& pose, std::uint32_t failedRows,
                        const FigurePose* onion = nullptr);
