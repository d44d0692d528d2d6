#pragma once
#include <cstddef>

namespace Zeb::Kamblo {

// Reallocates buffer to bytes bytes, keeping the leading contents. Reports
// whether the result is usable (a zero size frees the buffer and succeeds).
bool resize_buffer(void*& buffer, size_t bytes);

void copy_buffer(void* destination, const void* source, size_t bytes);

[[noreturn]] void abortOutOfMemory(size_t bytes);

// Typed form for the trivially copyable per-particle arrays. Growth failures
// end the program: the arrays are the scene and cannot be half-resized.
template <class T>
void resize_array(T*& array, size_t count)
{
    void* buffer = array;
    if (!resize_buffer(buffer, count * sizeof(T)))
        abortOutOfMemory(count * sizeof(T));
    array = static_cast<T*>(buffer);
}

} // namespace Zeb::Kamblo
