#include "HostHandles.h"

#include <mutex>
#include <unordered_map>

namespace hostfs {

namespace {

struct Table {
    std::mutex mutex;
    std::unordered_map<void*, HandleKind> live;
};

Table& Handles() {
    static Table table;
    return table;
}

} // namespace

void RegisterHandle(void* object, HandleKind kind) {
    Table& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.live[object] = kind;
}

void* LookupHandle(HANDLE handle, HandleKind kind) {
    Table& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    const auto it = table.live.find(handle);
    return it != table.live.end() && it->second == kind ? handle : nullptr;
}

void* UnregisterHandle(HANDLE handle, HandleKind kind) {
    Table& table = Handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    const auto it = table.live.find(handle);
    if (it == table.live.end() || it->second != kind)
        return nullptr;
    table.live.erase(it);
    return handle;
}

} // namespace hostfs
