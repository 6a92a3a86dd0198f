// Runs the library's unload step when the shared object is unloaded (dlclose
// or process exit), as process detach does on Windows.
#include "platform/library_entry.h"

namespace {

__attribute__((destructor)) void LibraryUnloading() { korvo::OnLibraryUnload(); }

} // namespace
