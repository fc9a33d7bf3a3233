#include "platform/error_report.h"

#include "platform/platform.h"

// Not part of the state that start-up clears: an open box runs its own message
// loop, and a timer message dispatched from there must find this flag set.
static bool errorBoxOpen = false;

void reportError(const char* text) {
    if (errorBoxOpen) return;
    errorBoxOpen = true;
    showErrorBox(text);
    errorBoxOpen = false;
}
