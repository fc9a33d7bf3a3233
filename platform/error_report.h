#pragma once

// Shows `text` (UTF-8) in the program's modal error box unless one is open
// already; a report made while a box is open is dropped.
void reportError(const char* text);

// While `buffer` is set, a report is kept there (the latest one, cut to
// `size`) instead of shown, for a window that tells the user in its own
// text; null shows reports in the box again.
void keepReportsIn(char* buffer, unsigned size);
