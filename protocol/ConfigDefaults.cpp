#include "protocol/ConfigDefaults.h"

namespace korvo {

std::atomic<int32_t> globalLinkTransferTime{0};
std::atomic<int32_t> globalExtendResponseTime{0};
std::atomic<int32_t> globalDnsConnectMode{-1};

} // namespace korvo
