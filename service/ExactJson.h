// Request bodies are parsed so that a number with a fraction or an exponent
// keeps its exact text: amounts must not pass through binary floating point.
// Such a number is held as a binary value with the subtype kDecimalLiteral,
// which no JSON text can produce by other means. Duplicate keys are refused:
// a receipt must not mean two things.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace korvod {

using Json = nlohmann::json;

constexpr std::uint8_t kDecimalLiteral = 0x64;
constexpr int kMaxJsonDepth = 32;

// false with a message naming the place of the first fault.
bool ParseExactJson(const std::string& text, Json& out, std::string& error);

bool IsDecimalLiteral(const Json& value);
std::string DecimalLiteralText(const Json& value);

} // namespace korvod
