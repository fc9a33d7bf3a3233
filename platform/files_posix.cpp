// The file names' POSIX side, for the native builds.
#include <unistd.h>

#include "platform/platform.h"

unsigned processNumber() { return static_cast<unsigned>(getpid()); }

// A link fails where the name is taken, as the move without replacing does on Windows.
int claimFileName(const char* from, const char* to) { return link(from, to) == 0 && unlink(from) == 0; }

int truncateFile(const char* name, long size) { return truncate(name, size) == 0; }
