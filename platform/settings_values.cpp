#include "platform/settings_values.h"

#include <cstdio>

#include "platform/error_report.h"
#include "platform/number_text.h"

// File name, sections, keys and tails are the program's own short texts.
// snprintf cuts anything longer, and the conversion for the screen copes with
// a cut last character.
static char message[512];

int readNumberAlone(const char* text, std::uint32_t* number) {
    const char* rest = scanUnsigned(text, 10, *number);
    if (rest == nullptr) return 0;
    while (isWhiteSpace(*rest)) ++rest;
    return *rest == '\0';
}

void reportSettingsError(const char* fileName, const char* section, const char* key, const char* tail) {
    if (fileName[0] == '.' && fileName[1] == '\\') fileName += 2;
    if (key != nullptr) {
        if (section == nullptr) section = "";
        std::snprintf(message, sizeof message, "設定ファイル (%s) 内の [%s] セクションのキー '%s' %s", fileName,
                      section, key, tail);
    } else {
        std::snprintf(message, sizeof message, "設定ファイル (%s) %s", fileName, tail);
    }
    reportError(message);
}
