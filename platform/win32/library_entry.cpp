// The DLL entry point: only process detach does anything. Thread attach and
// detach notifications are ignored, and loading always succeeds.
#include <windows.h>

#include "platform/library_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // The unload step runs when the application frees the library. At process
    // exit (reserved set) the other threads are already gone, perhaps in the
    // middle of a socket call, and the system reclaims everything anyway, so
    // stopping the socket library then could only hang or crash.
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) korvo::OnLibraryUnload();
    return TRUE;
}
