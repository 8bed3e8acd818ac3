// The stack protector's canary and failure handler, in place of libssp's: libssp seeds the
// canary with CryptAcquireContext, which loads advapi32, bcrypt, crypt32 and rsaenh at every
// start. Seeded instead as MSVC's /GS cookie is, from times, ids and counters.
#include <cstdint>

#include <windows.h>

extern "C" {

// Read by every protected function. The value before the seed below does not matter: the
// constructors run one after the other, so no protected function is active when it changes.
uintptr_t __stack_chk_guard = 0xBB40E64E;

// A smashed stack runs no more of the program's code, not even exit handlers.
[[noreturn]] void __stack_chk_fail() {
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    for (;;) {
    }
}

} // extern "C"

namespace {

// Unprotected itself: it changes the canary that its own epilogue would check.
__attribute__((constructor, no_stack_protector)) void SeedStackGuard() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    uintptr_t seed = now.dwLowDateTime ^ now.dwHighDateTime ^ GetCurrentProcessId() ^
                     (GetCurrentThreadId() << 16) ^ GetTickCount() ^ counter.LowPart ^
                     counter.HighPart ^ reinterpret_cast<uintptr_t>(&now);
    if (seed != 0)
        __stack_chk_guard = seed;
}

} // namespace
