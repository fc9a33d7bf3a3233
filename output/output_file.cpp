#include "output/output_file.h"

#include <cstdarg>

#include "platform/error_report.h"

namespace {

// File names are the program's own short constants or a path the user chose.
// snprintf cuts anything longer, and the conversion for the screen copes
// with a cut last character.
char message[512];

void reportFileError(const char* kind, const char* fileName, const char* tail) {
    std::snprintf(message, sizeof message, "%s (%s) %s", kind, fileName, tail);
    reportError(message);
}

}  // namespace

std::FILE* createOutputFile(const char* kind, const char* fileName) {
    std::FILE* file = std::fopen(fileName, "wb");
    if (file == nullptr) reportFileError(kind, fileName, "を作成できません。");
    return file;
}

void putOutput(std::FILE* file, int& failed, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    if (std::vfprintf(file, format, arguments) < 0) failed = 1;
    va_end(arguments);
}

int closeOutputFile(std::FILE* file, int failed, const char* kind, const char* fileName) {
    // Buffered output may fail only here, when the rest reaches the disk.
    if (std::fclose(file) != 0 || failed) {
        reportFileError(kind, fileName, "に書き込めません。");
        return 0;
    }
    return 1;
}
