// Pseudo-terminals for the simulator's USB front end: the simulator holds the
// master, an application opens the slave through a symlink as if it were the
// printer's virtual COM port. POSIX only.
#pragma once

#include <cstdint>

namespace korvo::os {

struct PseudoTerminal {
    int master = -1;
    char slavePath[128] = {};
};

// Opens a master (non-blocking) and puts the line into raw mode, so bytes
// pass unchanged whatever the opener does first. Returns 0 or a Windows
// system error number (see system_errors.h), like every call here.
uint32_t OpenPseudoTerminal(PseudoTerminal& pty);

// A second handle on the slave side, opened by the simulator itself to see
// whether the application has read what was sent (-1 when it cannot be
// opened, for example while the application holds the line exclusively).
int OpenSlaveWatch(const char* slavePath);
// Bytes sent to the slave side and not read yet, or -1.
int UnreadBytes(int slaveWatch);

// Makes path a symlink to target, replacing an existing symlink at once; any
// other existing file is left alone and reported as 80 (file exists).
uint32_t PlaceSymlink(const char* target, const char* path);

// Removes path if it is still a symlink to target.
void RemoveSymlink(const char* path, const char* target);

} // namespace korvo::os
