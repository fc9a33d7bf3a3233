#include "output/output_file.h"

#include <cstdarg>

#include "platform/error_report.h"
#include "platform/platform.h"

namespace {

// File names are the program's own short constants or a path the user chose.
// snprintf cuts anything longer, and the conversion for the screen copes
// with a cut last character.
char message[512];
// The file being written while completeFilesOnly is set: one at a time.
char temporaryName[320];

void reportFileError(const char* kind, const char* fileName, const char* tail) {
    std::snprintf(message, sizeof message, "%s (%s) %s", kind, fileName, tail);
    reportError(message);
}

}  // namespace

int completeFilesOnly = 0;

std::FILE* createOutputFile(const char* kind, const char* fileName) {
    const char* openedName = fileName;
    if (completeFilesOnly) {
        std::snprintf(temporaryName, sizeof temporaryName, "%s.%u.tmp", fileName, processNumber());
        openedName = temporaryName;
    }
    std::FILE* file = std::fopen(openedName, "wb");
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
        if (completeFilesOnly) std::remove(temporaryName);
        reportFileError(kind, fileName, "に書き込めません。");
        return 0;
    }
    if (completeFilesOnly && !claimFileName(temporaryName, fileName)) {
        std::remove(temporaryName);
        reportFileError(kind, fileName, "を作成できません。");
        return 0;
    }
    return 1;
}
