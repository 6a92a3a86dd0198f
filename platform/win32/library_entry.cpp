// The DLL entry point: only process detach does anything. Thread attach and
// detach notifications are ignored, and loading always succeeds.
#include <windows.h>

#include "platform/library_entry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) korvo::OnLibraryUnload();
    return TRUE;
}
