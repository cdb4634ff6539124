#include "ui/resources.h"

namespace resources {

const char* FindString(unsigned id) {
    for (std::size_t i = 0; i < kStringTableSize; ++i) {
        if (kStringTable[i].id == id) return kStringTable[i].text;
    }
    return nullptr;
}

}  // namespace resources
