#pragma once
// Marks a function that runs on the audio thread: in the RealtimeSanitizer build, anything it
// does, or calls, that allocates, frees, locks or makes a blocking system call stops the program.

#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#define TW07_NONBLOCKING [[clang::nonblocking]]
#endif
#endif
#ifndef TW07_NONBLOCKING
#define TW07_NONBLOCKING
#endif
