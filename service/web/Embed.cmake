# Writes OUTPUT, a C++ file holding the bytes of INPUT as korvod::kOperatorPage.
file(READ ${INPUT} hex HEX)
string(LENGTH "${hex}" length)
math(EXPR size "${length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT} "// Generated from web/index.html by web/Embed.cmake.\n#include \"OperatorPage.h\"\n\nnamespace korvod {\nconst unsigned char kOperatorPage[] = {\n${bytes}0};\nconst size_t kOperatorPageSize = ${size};\n} // namespace korvod\n")
