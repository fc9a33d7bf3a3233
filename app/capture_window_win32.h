// The capture window: part check boxes, bulk buttons, the node-check
// sequence, the sample-pose dialog, 実行 and キャンセル.
#pragma once

#include <cstdint>

#include <windows.h>

extern HWND progressBar;
extern int sequenceRunning;

LRESULT CALLBACK captureWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK samplePoseDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// With [CAPTURE] Source=doll: the program line says "LIVE" and the doll's
// port is opened (a failure is reported). Returns 1 when the capture can go on.
int openCaptureSource();

// With [CAPTURE] Source=doll, the label beside the version reads "LIVE".
void showCaptureSource();

void disableUnselectable();
void checkByFlags(std::uint8_t a, std::uint8_t b);
void setupProgressBar();
void stepSequence();
std::uint32_t collectSelection();
void solveAndWrite();
