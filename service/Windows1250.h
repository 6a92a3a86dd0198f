// The printer's texts are Windows-1250; the API's are UTF-8. iconv does the
// conversion both ways.
#pragma once

#include <string>

namespace korvod {

// UTF-8 to Windows-1250. false when a character has no Windows-1250 form;
// badCharacter then holds it (as UTF-8), for the error message.
bool ToWindows1250(const std::string& utf8, std::string& out, std::string& badCharacter);

// Windows-1250 to UTF-8; the five bytes the code page leaves undefined become
// U+FFFD.
std::string FromWindows1250(const std::string& text);

} // namespace korvod
