// Shared by the framework implementations: how a failed data exchange
// leaves DoDataExchange.
#pragma once

namespace platform {

// Thrown by CDataExchange::Fail, caught by CDialog::UpdateData.
struct DataExchangeFailure {};

}  // namespace platform
