#include "OptionalApi.h"

namespace optional_api {
namespace {

// kernel32 is mapped into every process, so GetModuleHandleA loads nothing; LoadLibrary here
// could itself be a planted-DLL hole.
template <typename Fn> Fn Lookup(const char* module, const char* name) {
    return Find<Fn>(GetModuleHandleA(module), name);
}

} // namespace

SetDefaultDllDirectoriesFn SetDefaultDllDirectories() {
    static const SetDefaultDllDirectoriesFn fn =
        Lookup<SetDefaultDllDirectoriesFn>("kernel32.dll", "SetDefaultDllDirectories");
    return fn;
}

SetProcessMitigationPolicyFn SetProcessMitigationPolicy() {
    static const SetProcessMitigationPolicyFn fn =
        Lookup<SetProcessMitigationPolicyFn>("kernel32.dll", "SetProcessMitigationPolicy");
    return fn;
}

CompareStringOrdinalFn CompareStringOrdinal() {
    static const CompareStringOrdinalFn fn =
        Lookup<CompareStringOrdinalFn>("kernel32.dll", "CompareStringOrdinal");
    return fn;
}

GetFinalPathNameByHandleAFn GetFinalPathNameByHandleA() {
    static const GetFinalPathNameByHandleAFn fn =
        Lookup<GetFinalPathNameByHandleAFn>("kernel32.dll", "GetFinalPathNameByHandleA");
    return fn;
}

HMODULE LoadFromSystemFolder(const char* name) {
    // LOAD_LIBRARY_SEARCH_SYSTEM32 comes with SetDefaultDllDirectories (KB2533623 on Windows
    // 7); without it, the full path.
    if (SetDefaultDllDirectories())
        return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char path[MAX_PATH];
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + lstrlenA(name) >= MAX_PATH)
        return nullptr;
    lstrcatA(lstrcatA(path, "\\"), name);
    return LoadLibraryExA(path, nullptr, 0);
}

} // namespace optional_api
