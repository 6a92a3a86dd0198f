// Loading a DLL at run time the way an application does (LoadLibraryA,
// GetProcAddress), for the tests that drive korvocomm.dll through its exports.
// Windows only.
#pragma once

#include <cstdint>

namespace korvo::os {

struct DynamicLibrary;

// nullptr when the library cannot be loaded.
DynamicLibrary* LoadDynamicLibrary(const char* path);

// The address of an export by name; nullptr when there is none.
void* FindExport(DynamicLibrary* library, const char* name);

// The address of an export by ordinal; nullptr when there is none.
void* FindExportByOrdinal(DynamicLibrary* library, uint16_t ordinal);

// Unloads the library (process detach runs); the pointer is gone after it.
bool FreeDynamicLibrary(DynamicLibrary* library);

} // namespace korvo::os
