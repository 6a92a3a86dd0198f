// Whether the process's socket library is started, as a test sees it from
// outside the code that started it. Windows only.
#pragma once

namespace korvo::os {

// True while a WSAStartup of this process is not yet paired with its
// WSACleanup: a new socket can be created.
bool SocketLibraryStarted();

} // namespace korvo::os
