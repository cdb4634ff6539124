// The module's resources as tables, for builds that read the resource
// script at build time instead of linking compiled resources. The tables
// are registered with the platform layer when the module is loaded, so the
// framework finds its dialog templates there.
#pragma once

#include <cstddef>

#include "platform/resource_tables.h"

namespace resources {

using StringResource = platform::StringTemplate;

extern const StringResource kStringTable[];
extern const std::size_t kStringTableSize;

// Dialog templates, string table and bitmaps of ZentrixTvn.rc.
extern const platform::ResourceTables kModuleResources;

// The string with this id, or null when the table has none.
const char* FindString(unsigned id);

}  // namespace resources
