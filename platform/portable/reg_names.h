// The portable registry keeps its tree in memory and on disk in the export
// format's own types; inside platform::reg they go by their plain names.
#pragma once

#include "regfile/reg_text.h"
#include "regfile/reg_tree.h"

namespace platform::reg {
using namespace ::regfile;
}  // namespace platform::reg
