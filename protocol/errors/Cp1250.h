// UTF-8 and Windows-1250, for the build-time conversion of the error texts
// and for the reference written from the tables. Not part of the library: the
// texts are stored already converted.
#pragma once

#include <string>

namespace korvo {

// Appends the Windows-1250 bytes of the UTF-8 text to out. Returns false and
// describes the first problem in error (byte offset, and the character as
// U+XXXX when it decoded) for malformed UTF-8 or a character the code page
// cannot hold; out then holds the bytes before the problem.
bool Utf8ToCp1250(const std::string& utf8, std::string& out, std::string& error);

// Appends the UTF-8 form of the Windows-1250 bytes to out. Returns false for a
// byte the code page leaves undefined (0x81, 0x83, 0x88, 0x90, 0x98); out
// then holds the text before it.
bool Cp1250ToUtf8(const std::string& cp1250, std::string& out);

} // namespace korvo
