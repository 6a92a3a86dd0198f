// Process-wide defaults of the configuration values, which every connection
// copies when its session is created. They change only through the
// process-wide configuration calls.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvo {

extern std::atomic<int32_t> globalLinkTransferTime;   // ms, 0 at load
extern std::atomic<int32_t> globalExtendResponseTime; // ms, 0 at load
extern std::atomic<int32_t> globalDnsConnectMode;     // -1 at load: not set

} // namespace korvo
