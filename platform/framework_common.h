// Shared by the framework implementations: how a failed data exchange
// leaves DoDataExchange, and what each implementation supplies to the
// platform-neutral parts in framework_common.cpp.
#pragma once

#include <string>

namespace platform {

// Thrown by CDataExchange::Fail, caught by CDialog::UpdateData.
struct DataExchangeFailure {};

namespace detail {
// The file of the module (plug-in or program) whose image holds `address`.
std::string ModulePathOf(const void* address);
}  // namespace detail

}  // namespace platform
