#include "transport/SocketsStarted.h"

namespace korvo {

std::atomic<bool> socketsStarted{false};

} // namespace korvo
