// The doll's text interfaces: its memory file, the posture file and the
// settings that shape its behaviour (noise, faults, status), shared by the
// command line and the control file. Each operation returns 1 or 0; on 0,
// dollFileMessage says what was wrong and where.
#pragma once

#include "tools/virtual-doll/doll.h"
#include "tools/virtual-doll/doll_motion.h"

extern char dollFileMessage[512];

// Formats the message into dollFileMessage and returns 0, for `return dollFail(...)`.
int dollFail(const char* format, ...);

// Names of the fault kinds, indexed by DollFault, as options and the log spell them.
extern const char* const dollFaultNames[dollFaultKinds];

// Reads the doll's memory (switch/LED source, each node's firmware version
// and stored offsets). A file that does not exist leaves the doll as it is.
// The active offsets take the stored ones only at the next powerUpDoll.
int loadDollMemory(Doll& doll, const char* path);

// Writes the memory whole to a temporary file beside `path`, then renames it
// over `path`, so the file is never seen half written.
int saveDollMemory(const Doll& doll, const char* path);

// Eleven lines in table order, six signed counts each; '#' starts a comment.
// Nothing changes unless the whole file is good.
int loadDollPosture(Doll& doll, const char* path);

// Seconds as a motion's key time or --unplug gives them: digits with at most
// six decimals, 0 to 3600. Returns 1 with `seconds` set, or 0.
int readDollSeconds(const char* word, double& seconds);

// Keys of a motion, each a line holding its time (seconds from the motion's
// start: digits with at most six decimals, 0 to 3600, later than the key
// before) and then eleven node lines as in the posture file; '#' starts a
// comment. At least one key, at most dollMotionCapacity. Nothing changes
// unless the whole file is good.
int loadDollMotion(DollMotion& motion, const char* path);

// Applies one setting: --noise, --seed, --fault, --correct-from,
// --fault-once, --fault-rate, --lost-rate, --status or --clear-faults, with its value (null for none).
int applyDollSetting(Doll& doll, const char* name, const char* value);
