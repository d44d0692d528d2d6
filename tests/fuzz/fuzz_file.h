#pragma once
// The engine's readers take paths: each input is written to a file of this
// process first, named with the extension that routes it to the reader.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace PudletFuzz {

inline std::string scratchPath(const char* stem, const char* extension)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/pudlet-fuzz-" + stem + "-" + std::to_string(getpid()) +
           extension;
}

// False when the file could not be written (the input is then skipped).
inline bool writeFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

} // namespace PudletFuzz
