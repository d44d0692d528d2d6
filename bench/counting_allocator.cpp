// Counts every heap allocation of the process, so that the benchmarks can show
// a steady step allocates nothing. Global operator new is replaced here, in the
// benchmark tools only; the engine library keeps the standard allocator. The C
// allocation functions are wrapped as well, because the engine grows its
// particle arrays with realloc.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "counting_allocator.h"

namespace {

constinit std::atomic<std::uint64_t> gAllocations{0};

inline void countOne() { gAllocations.fetch_add(1, std::memory_order_relaxed); }

} // namespace

// Under AddressSanitizer the C functions belong to the sanitizer's runtime;
// only operator new is counted there.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer) || __has_feature(thread_sanitizer)
#define PUDLET_UNDER_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) || defined(PUDLET_UNDER_SANITIZER)
#define PUDLET_WRAP_C_ALLOCATOR 0
#else
#define PUDLET_WRAP_C_ALLOCATOR 1
#endif

#if PUDLET_WRAP_C_ALLOCATOR
extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

void* malloc(size_t bytes)
{
    countOne();
    return __libc_malloc(bytes);
}

void* calloc(size_t n, size_t bytes)
{
    countOne();
    return __libc_calloc(n, bytes);
}

void* realloc(void* p, size_t bytes)
{
    if (bytes)
        countOne();
    return __libc_realloc(p, bytes);
}
}

namespace {
// operator new goes straight to the C library so it is counted once.
inline void* rawAllocate(size_t bytes) { return __libc_malloc(bytes ? bytes : 1); }
inline void* rawAllocateAligned(size_t bytes, size_t alignment) { return __libc_memalign(alignment, bytes ? bytes : 1); }
} // namespace
#else
namespace {
inline void* rawAllocate(size_t bytes) { return std::malloc(bytes ? bytes : 1); }
inline void* rawAllocateAligned(size_t bytes, size_t alignment)
{
    size_t rounded = (bytes + alignment - 1) / alignment * alignment;
    return std::aligned_alloc(alignment, rounded ? rounded : alignment);
}
} // namespace
#endif

namespace {

void* countedNew(size_t bytes)
{
    countOne();
    for (;;) {
        if (void* p = rawAllocate(bytes))
            return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

void* countedNewAligned(size_t bytes, std::align_val_t alignment)
{
    countOne();
    for (;;) {
        if (void* p = rawAllocateAligned(bytes, size_t(alignment)))
            return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

template <class F> void* noThrow(F allocate) noexcept
{
    try {
        return allocate();
    } catch (...) {
        return nullptr;
    }
}

} // namespace

void* operator new(size_t bytes) { return countedNew(bytes); }
void* operator new[](size_t bytes) { return countedNew(bytes); }
void* operator new(size_t bytes, std::align_val_t a) { return countedNewAligned(bytes, a); }
void* operator new[](size_t bytes, std::align_val_t a) { return countedNewAligned(bytes, a); }
void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return noThrow([=] { return countedNew(bytes); }); }
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept { return noThrow([=] { return countedNew(bytes); }); }
void* operator new(size_t bytes, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return noThrow([=] { return countedNewAligned(bytes, a); });
}
void* operator new[](size_t bytes, std::align_val_t a, const std::nothrow_t&) noexcept
{
    return noThrow([=] { return countedNewAligned(bytes, a); });
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

namespace Zeb::Kamblo::Bench {

std::uint64_t allocationCount() { return gAllocations.load(std::memory_order_relaxed); }

} // namespace Zeb::Kamblo::Bench
