#include "sim/serve/Terminal.h"

#include "platform/stream.h"
#include "platform/system_errors.h"
#include "sim/serve/ErrorText.h"

namespace korvo::sim {

bool OpenTerminal(os::PseudoTerminal& terminal, const std::string& path, std::string& error) {
    os::PseudoTerminal fresh;
    if (uint32_t e = os::OpenPseudoTerminal(fresh)) {
        error = "pseudo-terminal: " + ErrorText(e);
        return false;
    }
    if (uint32_t e = os::PlaceSymlink(fresh.slavePath, path.c_str())) {
        os::StreamClose(fresh.master);
        error =
            path + ": " +
            (e == os::kErrorFileExists ? std::string("exists and is not a symlink") : ErrorText(e));
        return false;
    }
    terminal = fresh;
    return true;
}

} // namespace korvo::sim
