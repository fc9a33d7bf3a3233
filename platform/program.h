// Names the program shows and writes.
#pragma once

constexpr const char* programName = "Gestalyx";
constexpr const char* programVersion = "ver1.0.0";
