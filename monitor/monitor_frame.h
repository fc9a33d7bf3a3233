// The monitor's frames: the two sensor vectors of every fitted node, read one
// node after the other as fast as the line allows, and what the window makes
// of them. The reader thread only reads frames; the window's thread solves
// them into the body-part table, names the nodes that failed and saves poses.
#pragma once

#include <cstdint>

#include "model/body_parts.h"
#include "solver/figure_solve.h"

// The fitted nodes in table order, taken from the table once before
// streaming, so that the reader never reads the table the window writes.
struct FittedNodes {
    int count;
    std::uint8_t rows[bodyPartCount];
    std::uint8_t addresses[bodyPartCount];
};

struct MonitorFrame {
    std::int8_t sensor[bodyPartCount][6];  // x1 y1 z1 x2 y2 z2 per row, counts; rows without a node unused
    double readAt[bodyPartCount];          // when each node was read: the middle of its read, reader's clock; 0 without a node
    std::uint32_t failedRows;              // bit i: row i's node did not answer in this frame
};

// The reader's clock: seconds from any fixed start.
using ReaderClock = double (*)();

void listFittedNodes(FittedNodes& nodes);

// Reads every fitted node's sensor vectors into `frame`, each with the
// instant it was read. A node that does not answer is marked in failedRows,
// its vectors zero, and the others are still read, unless `probe` is set:
// then the first node that fails ends the frame and the rest count as failed
// unread, so that a doll that has gone is asked once, not once a node.
// Returns 1 when the frame is complete.
int readMonitorFrame(const FittedNodes& nodes, ReaderClock clock, MonitorFrame& frame, int probe = 0);

// The first row whose bit is set in `failedRows`, or -1 when none is.
int firstFailedRow(std::uint32_t failedRows);

// Puts a complete frame's vectors (its `sensor`, or a recorded frame's) into
// the body-part table and solves every part, selectable as start-up left them
// (the part mask 7f for the monitor).
void solveMonitorFrame(const std::int8_t sensor[bodyPartCount][6]);

// The figure of a complete frame's vectors, as the picture and the motion
// files show it.
void solveFigureOfFrame(const std::int8_t sensor[bodyPartCount][6], int grounded, FigureFrame& figure);

// A name is free when nothing has it; a file that exists but cannot be
// read takes its name too, so that it is never overwritten.
bool nameIsFree(const char* name);

// The first number from 1 to 999 for which no file named by any of the
// `count` formats (each with one %03u) exists in the current folder, or 0
// when every number is taken. The names for it are left in `names`.
constexpr int monitorNameCapacity = 32;
unsigned nextFreeNumber(const char* const formats[], int count, char names[][monitorNameCapacity]);
