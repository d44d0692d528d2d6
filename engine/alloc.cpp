#include "alloc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Zeb::Kamblo {

bool resize_buffer(void*& buffer, size_t bytes)
{
    if (bytes == 0) {
        std::free(buffer);
        buffer = nullptr;
        return true;
    }
    void* grown = std::realloc(buffer, bytes);
    if (!grown)
        return false;
    buffer = grown;
    return true;
}

void copy_buffer(void* destination, const void* source, size_t bytes)
{
    if (bytes)
        std::memcpy(destination, source, bytes);
}

void abortOutOfMemory(size_t bytes)
{
    std::fprintf(stderr, "Pudlet: out of memory allocating %zu bytes\n", bytes);
    std::abort();
}

} // namespace Zeb::Kamblo
