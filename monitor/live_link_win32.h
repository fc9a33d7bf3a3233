// The live link's Windows side: the 送信 box, a UDP socket to the receiver
// [LINK] names, and the timer that sends the smoothed frames. Everything runs
// on the window's thread; a send is one sendto of one bundle, microseconds,
// so the reader is never held up.
#pragma once

#include <windows.h>

#include "monitor/monitor_frame.h"
#include "solver/figure_solve.h"

// Set anew at each tick for the moment the next frame is due, so that the
// window's thread wakes once a frame and no more.
constexpr UINT_PTR linkTimer = 4;

// A receiver given by name is looked up by the system while the window goes
// on streaming; the answer comes as this message.
constexpr UINT linkFoundMessage = WM_APP + 2;

// Checks the box as [LINK] Enabled says and starts the link when it is.
// Once the reader runs: the link's times are the reader's clock.
void initLink(HWND window);

// The box was clicked: starts or ends the link.
void onLinkCommand(HWND window);

// Every complete frame, with its figure.
void linkTakeFrame(const MonitorFrame& frame, const FigureFrame& figure);

// The system's answer to the lookup of the receiver's name.
void onLinkFound(HWND window, WPARAM lookup, LPARAM result);

// linkTimer's tick: the frame due, if any.
void onLinkTimer(HWND window);

// "送信中 127.0.0.1:39539　", why the link cannot send, or "" when it is off.
void linkStatus(char* text, int size);

// Ends the link, as the window closes.
void endLink(HWND window);
