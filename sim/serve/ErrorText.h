// The OS layer's error numbers (Windows system and WinSock numbers on every
// system) in words, for korvosim's messages.
#pragma once

#include <cstdint>
#include <string>

namespace korvo::sim {

// "address in use (error 10048)"; a number without words of its own shows as
// "error N".
std::string ErrorText(int64_t number);

} // namespace korvo::sim
