// What every reader of the settings file shares, whichever mode reads it: the
// file's name, the rule a number must meet, and the one form of its messages.
#pragma once

#include <cstdint>

constexpr const char* settingsFileName = ".\\Gestalyx.ini";

// Message tails: a value that is not a decimal number alone, and a number
// that is not allowed.
constexpr const char* badContent = "の内容が不正です。";
constexpr const char* badValue = "の値が不正です。";

// Numbers and NODE values are seen up to their 95th byte.
constexpr unsigned settingsValueSize = 96;

// The rule of "%u %c" yielding exactly one conversion: a decimal number and
// nothing but white space after it.
int readNumberAlone(const char* text, std::uint32_t* number);

// Shows one message about the settings file. A null key makes it a message
// about the file as a whole. A leading ".\" of the file name is not shown.
void reportSettingsError(const char* fileName, const char* section, const char* key, const char* tail);
