// The module's resources as tables, for builds that read the resource
// script at build time instead of linking compiled resources.
#pragma once

#include <cstddef>

namespace resources {

struct StringResource {
    unsigned id;
    const char* text;
};

extern const StringResource kStringTable[];
extern const std::size_t kStringTableSize;

// The string with this id, or null when the table has none.
const char* FindString(unsigned id);

}  // namespace resources
