// Bytes written as hexadecimal text, the way frames are documented:
// "AA 02 01" <-> the three bytes.
#pragma once

#include <string>

namespace korvo::test {

std::string Bytes(const char* hex);
std::string Hex(const std::string& bytes);

} // namespace korvo::test
