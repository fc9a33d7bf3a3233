// Pose by pose: the user poses the doll and takes a key, poses it again and
// takes the next; the frames between keys are filled in when the keys are
// saved as a motion. A key is taken only once the doll stands still, as the
// average of the frames that show it still, so that the sensors' noise is
// averaged away. Each key is appended to the keys file the moment it is
// taken, so that a take survives the program.
#pragma once

#include "monitor/monitor_frame.h"

// The most keys a take holds, and the keys file gives back.
constexpr int keyLimit = 999;

// The longest hold, frames: over five minutes at 30 frames a second.
constexpr int keyHoldLimit = 9999;

struct Key {
    int hold;                          // frames from this key to the next, at the motion's frame rate, 1 or more
    double vectors[bodyPartCount][6];  // x1 y1 z1 x2 y2 z2 averaged, counts to one decimal; rows without a node zero
};

// The doll stands still when, over keyStillFrames consecutive complete
// frames, each of the six counts of every fitted node spans at most
// keyStillBand (largest less smallest). The noise of a doll at rest spans 4
// counts (+-2), a sensor's own a little more; 6 counts across a vector of 64
// is about 5 degrees in 0.66 s (three frames at the line's 4.5 a second), so
// a doll being moved by hand is never taken.
constexpr int keyStillFrames = 3;
constexpr int keyStillBand = 6;

// A key is the average of up to keyAverageFrames still frames. Noise of +-2
// counts turns a single reading's node by 2 degrees (rms); the average of 32
// by 0.36, 7 s of a doll at rest at the line's 4.5 frames a second. A doll
// that already stood still before the key was asked for gives its key at the
// next frame: the still frames just before count.
constexpr int keyAverageFrames = 32;

// How long the doll may take to stand still once a key is asked for, seconds.
constexpr double keyWaitLimit = 5.0;

// The monitor's latest complete frames, and a key asked for.
struct KeyWatch {
    int kept;          // complete frames in `frames`, newest at `newest`; an incomplete frame empties it
    int newest;
    std::int8_t frames[keyAverageFrames][bodyPartCount][6];
    bool asked;
    double askedAt;    // reader's clock
    int stillRun;      // still frames up to the last frame read after the request, once 3 or more; else 0
};

enum KeyWatchResult {
    KeyWaiting,     // no key asked for, or not taken yet: feed the next frame
    KeyTaken,       // `key.vectors` holds the key
    KeyNodeFailed,  // a node did not answer: the key is refused
    KeyNodeMoving,  // not still within keyWaitLimit: the key is refused
};

// Empties the watch: no frames kept, no key asked for.
void clearKeyWatch(KeyWatch& watch);

// Asks for a key at `now`, on the reader's clock.
void askForKey(KeyWatch& watch, double now);

// Takes each of the monitor's frames, in order, whether a key is asked for
// or not. Once asked, frames read wholly after the request decide:
// - a frame with a failed node refuses the key, `row` that node;
// - once the last keyStillFrames frames are still, the key is the average of
//   the still frames (from before the request too), taken when they are
//   keyAverageFrames, or when the doll moves again;
// - a frame read past keyWaitLimit before that refuses the key, `row` the
//   node whose counts spanned most over the last frames (-1 when none).
// KeyTaken fills `key.vectors`, averages rounded to one decimal as the keys
// file keeps them; `key.hold` is the caller's. Any answer but KeyWaiting
// ends the request.
KeyWatchResult watchFrame(KeyWatch& watch, const MonitorFrame& frame, Key& key, int& row);

// The frame key `index` stands at: the holds of the keys before it added up.
int keyFrame(const Key* keys, int index);

// The frames of a motion of `count` keys: the last key stands at its frame
// and is held for its hold, through the file's last frame.
inline int keysFrameCount(const Key* keys, int count) { return keyFrame(keys, count) + 1; }

// The nodes' world rotations at frame `index` of the keys' motion, as
// saveKeysBvh writes it: for playing the keys back and drawing the last.
void keysWorldAt(const Key* keys, int count, int index, Rotation world[bodyPartCount]);

// Writes the keys as a BVH animation at `rate` frames a second, each frame
// solved as the monitor's figure (grounded or not). Between two keys every
// node's rotation turns along the shortest arc from the one key's to the
// next's, evenly over the hold; from the last key on, the last is held.
// Returns 1 or 0; the writer's own failure shows its box. No key, a key
// past keyLimit, a hold out of 1 to keyHoldLimit or a rate that is not
// positive writes nothing and returns 0.
int saveKeysBvh(const Key* keys, int count, int rate, int grounded, const char* fileName);

// Writes one pose file of every part with a key line for each key at its
// frame: the host's joint angles of the key's counts, each average rounded to
// the nearest count. The diagnostic block shows the last key, and the
// body-part table is left solved for it. Failures as writePoseFile's; keys
// refused as by saveKeysBvh, or no memory for their angles, return 0 with
// no file.
int saveKeysPoseFile(const Key* keys, int count, const char* fileName);

// The keys file, plain text with LF line ends:
//   # Gestalyx keys
//   key 1 hold 12
//   eleven lines, one a node in table order: x1 y1 z1 x2 y2 z2 to one decimal, then "# name"
//   key 2 hold 6
//   ...
//   undo                 (取消: the key before is gone; the next is numbered as it was)
// Appends key `number` (from 1) to `fileName`, with the first line when the
// file is new or empty, in one write. Returns 1, or 0 when the file cannot be
// opened or written (no message: the caller says so).
int appendKeyToFile(const char* fileName, const Key& key, int number);

// Appends "undo": the file's last key is taken back. Returns 1 or 0.
int appendUndoToFile(const char* fileName);

// Reads the keys file into `keys` (at most `capacity`) and sets `count`.
// A last key cut short (the program ended while appending it) is dropped and
// the keys before it kept. Anything else out of form, or more keys than
// `capacity`, refuses the whole file: returns 0 with `count` 0 and the fault
// and its line in keysFileProblem.
int readKeysFile(const char* fileName, Key* keys, int capacity, int& count);
extern char keysFileProblem[200];  // in Japanese, for the user
// The bytes of the file read whole by the last readKeysFile that accepted
// it: the file is cut to these before keys are appended to it again, so that
// a key cut short never stands in front of the next.
extern long keysFileWholeBytes;
