#pragma once
// Counts the allocations, frees and mutex locks made on the calling thread
// during one call. The counting functions are interposed by the executable
// itself, so they see every call a loaded module makes. In a RealtimeSanitizer
// build the call runs in a non-blocking context instead and the sanitizer
// aborts on the first unsafe call.

namespace tools::validate {

struct RealtimeCounts {
    int allocations = 0;
    int releases = 0;
    int locks = 0;

    bool clean() const { return allocations == 0 && releases == 0 && locks == 0; }
};

class RealtimeWatch {
public:
    // False in AddressSanitizer/ThreadSanitizer builds, whose own allocator
    // must not be interposed.
    static bool available();
    static bool sanitizerEnforced();

    static RealtimeCounts watch(void (*call)(void*), void* context);
};

}  // namespace tools::validate
