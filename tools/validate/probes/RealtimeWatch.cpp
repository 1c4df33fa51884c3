#include "RealtimeWatch.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define TW07_VALIDATE_NO_INTERPOSE 1
#endif
#if __has_feature(realtime_sanitizer)
#define TW07_VALIDATE_RTSAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define TW07_VALIDATE_NO_INTERPOSE 1
#endif

#if !TW07_VALIDATE_NO_INTERPOSE && !TW07_VALIDATE_RTSAN
#include <dlfcn.h>
#include <pthread.h>

#include <cerrno>
#include <cstddef>

namespace {
// Plain counters: only the watched thread touches them while it is watched.
thread_local bool watching = false;
thread_local int allocations = 0;
thread_local int releases = 0;
thread_local int locks = 0;
using MutexLock = int (*)(pthread_mutex_t*);
}  // namespace

// Exported from the executable so that they take precedence over the C
// library's for every module it loads; they forward to the C library.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

__attribute__((visibility("default"))) void* malloc(std::size_t size)
{
    if (watching) ++allocations;
    return __libc_malloc(size);
}
__attribute__((visibility("default"))) void* calloc(std::size_t count, std::size_t size)
{
    if (watching) ++allocations;
    return __libc_calloc(count, size);
}
__attribute__((visibility("default"))) void* realloc(void* pointer, std::size_t size)
{
    if (watching) ++allocations;
    return __libc_realloc(pointer, size);
}
__attribute__((visibility("default"))) void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    if (watching) ++allocations;
    return __libc_memalign(alignment, size);
}
__attribute__((visibility("default"))) void* memalign(std::size_t alignment, std::size_t size)
{
    if (watching) ++allocations;
    return __libc_memalign(alignment, size);
}
__attribute__((visibility("default"))) int posix_memalign(void** out, std::size_t alignment, std::size_t size)
{
    if (watching) ++allocations;
    *out = __libc_memalign(alignment, size);
    return *out != nullptr ? 0 : ENOMEM;
}
__attribute__((visibility("default"))) void free(void* pointer)
{
    if (watching && pointer != nullptr) ++releases;
    __libc_free(pointer);
}
__attribute__((visibility("default"))) int pthread_mutex_lock(pthread_mutex_t* mutex)
{
    static MutexLock real = reinterpret_cast<MutexLock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    if (watching) ++locks;
    return real(mutex);
}
}

namespace tools::validate {

bool RealtimeWatch::available() { return true; }
bool RealtimeWatch::sanitizerEnforced() { return false; }

RealtimeCounts RealtimeWatch::watch(void (*call)(void*), void* context)
{
    allocations = 0;
    releases = 0;
    locks = 0;
    watching = true;
    call(context);
    watching = false;
    return {allocations, releases, locks};
}

}  // namespace tools::validate

#else

namespace tools::validate {

#if TW07_VALIDATE_RTSAN
namespace {
void callNonblocking(void (*call)(void*), void* context) [[clang::nonblocking]] { call(context); }
}  // namespace

bool RealtimeWatch::available() { return true; }
bool RealtimeWatch::sanitizerEnforced() { return true; }
RealtimeCounts RealtimeWatch::watch(void (*call)(void*), void* context)
{
    callNonblocking(call, context);
    return {};
}
#else
bool RealtimeWatch::available() { return false; }
bool RealtimeWatch::sanitizerEnforced() { return false; }
RealtimeCounts RealtimeWatch::watch(void (*call)(void*), void* context)
{
    call(context);
    return {};
}
#endif

}  // namespace tools::validate

#endif
