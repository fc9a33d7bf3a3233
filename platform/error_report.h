#pragma once

// Shows `text` (UTF-8) in the program's modal error box unless one is open
// already; a report made while a box is open is dropped.
void reportError(const char* text);
