// The hardware settings mode: the start-up flag that selects it, the node
// survey that fills in the values both settings pages start from, and the
// time-of-day prefix of the pages' status texts.
#pragma once

// 0 selects the capture window, any other value the settings mode. Start-up
// clears it and sets it from the command line; nothing else writes it.
extern int settingsMode;

// The doll's switch/LED source as last read or set: 0 the built-in unit, any
// other value counts as the external unit.
extern int switchSource;

// Clears the node's command register and reads its firmware version, active
// and stored offsets into row `row`, stopping at the first operation that
// fails. A row without a node fails without contacting the device. Values
// read before a failure stay in the row.
int checkNode(int row);

// Checks every node part in table order, then reads the switch/LED source.
// Returns 1, or shows one message for the first failure and returns 0; no
// node after a failing one is contacted.
int surveyNodes();

// The local time of day, "%02u:%02u:%02u", in the shared time buffer that the
// next call overwrites.
const char* formatTimeOfDay();
