// The bench's program data: a pack list made at run time for the bench's own files, in place of
// install.exe's resource (linked instead of the platform's lookup).
#include "PackListOf.h"
#include "ProgramData.h"
#include "res/resource.h"

namespace {
const std::string* carried = nullptr;
}

void CarryPackList(const std::string* list) {
    carried = list;
}

bool FindProgramData(int id, std::string_view& data) {
    if (id != IDR_PACK_LIST || !carried)
        return false;
    data = *carried;
    return true;
}
