// The program's version, written here and nowhere else: the program line of
// the capture window and the pose file, the file's version resource, the
// manifest's version (checked by the tests) and the package's name
// (tools/package reads these three lines) all follow it. Plain preprocessor
// lines, so that the resource compiler reads this file as well as C++.
#pragma once

#define GESTALYX_VERSION_MAJOR 1
#define GESTALYX_VERSION_MINOR 0
#define GESTALYX_VERSION_PATCH 0

#define GESTALYX_TEXT_OF(number) #number
#define GESTALYX_TEXT(number) GESTALYX_TEXT_OF(number)

// "1.0.0"
#define GESTALYX_VERSION_TEXT \
    GESTALYX_TEXT(GESTALYX_VERSION_MAJOR) "." GESTALYX_TEXT(GESTALYX_VERSION_MINOR) "." GESTALYX_TEXT(GESTALYX_VERSION_PATCH)
