// The fitted nodes over the serial link, with the user told which node failed:
// the node check that live capture and the monitor make at start, and the
// sensor vectors that live capture's 実行 solves in place of a sample pose.
#pragma once

// One step of the node check for `row`, a part with a fitted node: clears its
// command register and reads its firmware version into the row. Returns 1, or
// shows which node did not answer and returns 0.
int checkPartNode(int row);

// Reads the two sensor vectors of every part with a fitted node into its
// `sensor`, in table order. Returns 1, or shows the first node whose vectors
// could not be read and returns 0; the rows before it then hold new vectors.
int readLiveSensorVectors();
