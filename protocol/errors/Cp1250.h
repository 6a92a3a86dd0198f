// UTF-8 to Windows-1250, for the build-time conversion of the error texts.
// Not part of the library: the texts are stored already converted.
#pragma once

#include <string>

namespace korvo {

// Appends the Windows-1250 bytes of the UTF-8 text to out. Returns false and
// describes the first problem in error (byte offset, and the character as
// U+XXXX when it decoded) for malformed UTF-8 or a character the code page
// cannot hold; out then holds the bytes before the problem.
bool Utf8ToCp1250(const std::string& utf8, std::string& out, std::string& error);

} // namespace korvo
