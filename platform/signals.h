// SIGINT and SIGTERM as a request to stop: a flag plus a wake-up of the
// simulator's wait. POSIX only.
#pragma once

namespace korvo::os {

class WakeHandle;

// Installs the handlers; wake (kept alive by the caller) is signalled on
// each stop request.
void CatchStopSignals(const WakeHandle* wake);
bool StopRequested();

} // namespace korvo::os
