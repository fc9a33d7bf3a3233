// The sensor calibration page (page 0 of the settings sheet): one node part
// at a time, its live reading once per second with gravity, and per axis an
// offset computed, edited, made active (仮設定, or Enter in the offset edit) or
// stored in the node (書込).
// Offsets are half counts in the table and counts ("%.1f") on screen.
#pragma once

#include <windows.h>

#include "device/node_operations.h"

extern HWND calibrationStatusBar;  // null until the page exists; texts are dropped while null
extern int liveTimerActive;        // the timer procedure touches nothing while clear
extern HBITMAP arrowBitmap;        // loaded once, kept for the life of the program
extern int arrowWidth, arrowHeight;

INT_PTR CALLBACK calibrationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

void loadArrowBitmap();
void paintArrow(HWND page);
void fillPartSelector(HWND page);
void showSelectedPart(HWND page);
void stepOffset(HWND page, int editId, float delta);
void computeAutoOffset(HWND page, Axis axis);
void applyOffset(HWND page, Axis axis);
void writeOffset(HWND page, Axis axis);
void CALLBACK liveReadingTimer(HWND page, UINT message, UINT_PTR timerId, DWORD time);
