#include "OptionalApi.h"

namespace optional_api {
namespace {

// kernel32 is mapped into every process, so GetModuleHandleA loads nothing; LoadLibrary here
// could itself be a planted-DLL hole.
template <typename Fn> Fn Lookup(const char* module, const char* name) {
    HMODULE handle = GetModuleHandleA(module);
    if (!handle)
        return nullptr;
    // Through void(*)(): FARPROC's own type is no closer to Fn than any other.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(handle, name)));
}

} // namespace

// Looked up on each call, which comes a few times a run: a function-local static would link in
// the runtime's thread-safe static guard (2 KiB).
SetDefaultDllDirectoriesFn SetDefaultDllDirectories() {
    return Lookup<SetDefaultDllDirectoriesFn>("kernel32.dll", "SetDefaultDllDirectories");
}

SetProcessMitigationPolicyFn SetProcessMitigationPolicy() {
    return Lookup<SetProcessMitigationPolicyFn>("kernel32.dll", "SetProcessMitigationPolicy");
}

} // namespace optional_api
