#include "platform/error_report.h"

#include <cstdio>

#include "platform/platform.h"

// Not part of the state that start-up clears: an open box runs its own message
// loop, and a timer message dispatched from there must find this flag set.
static bool errorBoxOpen = false;
static char* keptReport = nullptr;
static unsigned keptReportSize = 0;

void keepReportsIn(char* buffer, unsigned size) {
    keptReport = buffer;
    keptReportSize = size;
}

void reportError(const char* text) {
    if (keptReport != nullptr) {
        std::snprintf(keptReport, keptReportSize, "%s", text);
        return;
    }
    if (errorBoxOpen) return;
    errorBoxOpen = true;
    showErrorBox(text);
    errorBoxOpen = false;
}
