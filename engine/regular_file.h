#pragma once
// Opening files whose names come from users or from scene files. Only regular
// files are opened, and the opening itself never blocks: a FIFO, a terminal,
// /dev/stdin, /dev/zero or a folder is refused at once instead of hanging the
// program or feeding it endless bytes.
#include <cstdio>
#include <string>

namespace Zeb::Kamblo {

// A stdio stream for reading ("rb"), or null when path names no readable
// regular file (symbolic links are followed).
std::FILE* openRegularFile(const char* path);

// A descriptor for reading, with the same refusals; -1 on failure. The caller
// closes it.
int openRegularFileDescriptor(const char* path);

// The whole content of a regular text file; false when it cannot be opened
// or read, or holds a NUL byte (no text does: reading stops at the first, so
// a large binary file costs little).
bool readTextFile(const char* path, std::string& contents);

} // namespace Zeb::Kamblo
