// Names the program shows and writes.
#pragma once

#include "platform/version.h"

constexpr const char* programName = "Gestalyx";
constexpr const char* programVersion = "ver" GESTALYX_VERSION_TEXT;
