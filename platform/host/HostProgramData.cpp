#include "HostProgramData.h"

#include <map>
#include <mutex>

#include "ProgramData.h"

namespace {

std::mutex lock;
std::map<int, std::string>& Data() {
    static std::map<int, std::string> data;
    return data;
}

} // namespace

void SetHostProgramData(int id, const std::string* data) {
    std::lock_guard<std::mutex> hold(lock);
    if (data)
        Data()[id] = *data;
    else
        Data().erase(id);
}

// As a resource stays: the view holds until the data is set again.
bool FindProgramData(int id, std::string_view& data) {
    std::lock_guard<std::mutex> hold(lock);
    const auto found = Data().find(id);
    if (found == Data().end())
        return false;
    data = found->second;
    return true;
}
