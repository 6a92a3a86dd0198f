// Run-time loading of DLLs: LoadLibraryA, GetProcAddress by name and by
// ordinal, FreeLibrary.
#include "platform/dynamic_library.h"

#include <windows.h>

namespace korvo::os {

namespace {

HMODULE Module(DynamicLibrary* library) {
    return reinterpret_cast<HMODULE>(library);
}

void* Address(FARPROC proc) {
    return reinterpret_cast<void*>(proc);
}

} // namespace

DynamicLibrary* LoadDynamicLibrary(const char* path) {
    return reinterpret_cast<DynamicLibrary*>(LoadLibraryA(path));
}

void* FindExport(DynamicLibrary* library, const char* name) {
    if (!library || !name) return nullptr;
    return Address(GetProcAddress(Module(library), name));
}

void* FindExportByOrdinal(DynamicLibrary* library, uint16_t ordinal) {
    if (!library) return nullptr;
    return Address(GetProcAddress(Module(library), MAKEINTRESOURCEA(ordinal)));
}

bool FreeDynamicLibrary(DynamicLibrary* library) {
    return library && FreeLibrary(Module(library));
}

} // namespace korvo::os
