// Walks the printer's persistent values by name, so one list of names serves
// both saving and loading the state file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvo::sim {

class StateVisitor {
public:
    virtual ~StateVisitor() = default;
    virtual void Integer(const char* key, int64_t& value) = 0;
    // text holds a NUL-terminated string of at most size - 1 bytes.
    virtual void Text(const char* key, char* text, size_t size) = 0;
};

} // namespace korvo::sim
