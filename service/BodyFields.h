// Typed reading of one JSON object of a request body. Every read names the
// field by its path ("items[2].vat"), so that a refusal tells the caller what
// to fix; fields that were never read are refused as unknown. A refusal is
// thrown as a RequestError and caught where the plan is made.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "ExactJson.h"
#include "TaskPlan.h"

namespace korvod {

// The longest text a receipt command takes, in bytes of Windows-1250.
constexpr size_t kTextLimit = 80;

[[noreturn]] void Refuse(const std::string& field, const std::string& message);

class BodyFields {
public:
    BodyFields(const Json& value, std::string path);

    bool Has(const char* key) const;
    // A text in Windows-1250 without control characters, at most maxBytes long.
    std::string Text(const char* key, size_t maxBytes = kTextLimit, bool required = false);
    // 1 to 40 letters, digits, "-", "_" or ".".
    std::string Identifier(const char* key, bool required);
    int64_t Integer(const char* key, int64_t minimum, int64_t maximum, int64_t fallback,
                    bool required = false);
    // An amount or quantity in thousandths, from a decimal string or a JSON number.
    int64_t Amount(const char* key, bool required, int64_t fallback = 0);
    bool Flag(const char* key, bool fallback);
    // An array of at most maxItems entries; an absent key is an empty array.
    const Json& Array(const char* key, size_t maxItems, bool required);
    // A nested object, or nullptr when absent; BodyFields checks that it is one.
    const Json* Nested(const char* key) { return Get(key, false); }
    // A choice among names; returns its index in names.
    int Choice(const char* key, const char* const* names, int count, int fallback);

    std::string Path(const char* key) const;
    // Refuses the first key that was not read.
    void Finish() const;

private:
    const Json* Get(const char* key, bool required);

    const Json& object;
    std::string path;
    std::set<std::string> seen;
};

// A text of an array entry or a plain JSON string: the same checks as
// BodyFields::Text, the field named by path.
std::string CheckedText(const Json& value, const std::string& path, size_t maxBytes);
bool IsIdentifier(const std::string& text);

} // namespace korvod
