#include "BodyFields.h"

#include "Amount.h"
#include "Windows1250.h"

namespace korvod {

namespace {

const char* TypeName(const Json& value) {
    if (IsDecimalLiteral(value)) return "a number";
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::boolean:
        return "a boolean";
    case Json::value_t::string:
        return "a string";
    case Json::value_t::array:
        return "an array";
    case Json::value_t::object:
        return "an object";
    default:
        return "a number";
    }
}

[[noreturn]] void WrongType(const std::string& path, const char* wanted, const Json& value) {
    Refuse(path, std::string("must be ") + wanted + ", not " + TypeName(value));
}

} // namespace

void Refuse(const std::string& field, const std::string& message) {
    throw RequestError{field, message};
}

bool IsIdentifier(const std::string& text) {
    if (text.empty() || text.size() > 40) return false;
    for (char c : text) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '-' || c == '_' || c == '.';
        if (!ok) return false;
    }
    return true;
}

std::string CheckedText(const Json& value, const std::string& path, size_t maxBytes) {
    if (!value.is_string()) WrongType(path, "a string", value);
    const std::string& utf8 = value.get_ref<const std::string&>();
    std::string text, bad;
    if (!ToWindows1250(utf8, text, bad))
        Refuse(path, "contains \"" + bad + "\", which the printer's code page Windows-1250 does not have");
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F) Refuse(path, "must not contain control characters (TAB, LF, ...)");
    if (text.size() > maxBytes)
        Refuse(path, "is " + std::to_string(text.size()) + " characters long; the most is " +
                         std::to_string(maxBytes));
    return text;
}

BodyFields::BodyFields(const Json& value, std::string path) : object(value), path(std::move(path)) {
    if (!object.is_object()) WrongType(this->path.empty() ? "(body)" : this->path, "an object", object);
}

std::string BodyFields::Path(const char* key) const {
    // Keys that are no plain names (an unknown "" or "a b") are shown quoted.
    std::string name = key;
    bool plain = !name.empty();
    for (char c : name)
        plain = plain && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
    if (!plain) return path + "[" + Json(name).dump(-1, ' ', false, Json::error_handler_t::replace) + "]";
    return path.empty() ? name : path + "." + name;
}

bool BodyFields::Has(const char* key) const {
    auto it = object.find(key);
    return it != object.end() && !it->is_null();
}

const Json* BodyFields::Get(const char* key, bool required) {
    seen.insert(key);
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        if (required) Refuse(Path(key), "is required");
        return nullptr;
    }
    return &*it;
}

std::string BodyFields::Text(const char* key, size_t maxBytes, bool required) {
    const Json* value = Get(key, required);
    if (!value) return std::string();
    std::string text = CheckedText(*value, Path(key), maxBytes);
    if (required && text.empty()) Refuse(Path(key), "must not be empty");
    return text;
}

std::string BodyFields::Identifier(const char* key, bool required) {
    const Json* value = Get(key, required);
    if (!value) return std::string();
    if (!value->is_string()) WrongType(Path(key), "a string", *value);
    const std::string& text = value->get_ref<const std::string&>();
    if (!IsIdentifier(text))
        Refuse(Path(key), "must be 1 to 40 letters, digits, \"-\", \"_\" or \".\"");
    return text;
}

int64_t BodyFields::Integer(const char* key, int64_t minimum, int64_t maximum, int64_t fallback,
                            bool required) {
    const Json* value = Get(key, required);
    if (!value) return fallback;
    if (!value->is_number_integer()) WrongType(Path(key), "an integer", *value);
    bool inRange;
    int64_t number = 0;
    if (value->is_number_unsigned()) {
        uint64_t u = value->get<uint64_t>();
        inRange = u <= static_cast<uint64_t>(maximum);
        number = static_cast<int64_t>(u);
    } else {
        number = value->get<int64_t>();
        inRange = true;
    }
    if (!inRange || number < minimum || number > maximum)
        Refuse(Path(key), "must be from " + std::to_string(minimum) + " to " + std::to_string(maximum));
    return number;
}

int64_t BodyFields::Amount(const char* key, bool required, int64_t fallback) {
    const Json* value = Get(key, required);
    if (!value) return fallback;
    std::string text;
    if (value->is_string()) {
        text = value->get<std::string>();
    } else if (IsDecimalLiteral(*value)) {
        text = DecimalLiteralText(*value);
    } else if (value->is_number_unsigned()) {
        text = std::to_string(value->get<uint64_t>());
    } else if (value->is_number_integer()) {
        text = std::to_string(value->get<int64_t>());
    } else {
        WrongType(Path(key), "a decimal number or a string holding one", *value);
    }
    int64_t thousandths = 0;
    std::string why;
    if (!ParseThousandths(text, thousandths, why)) Refuse(Path(key), why);
    return thousandths;
}

bool BodyFields::Flag(const char* key, bool fallback) {
    const Json* value = Get(key, false);
    if (!value) return fallback;
    if (!value->is_boolean()) WrongType(Path(key), "true or false", *value);
    return value->get<bool>();
}

const Json& BodyFields::Array(const char* key, size_t maxItems, bool required) {
    static const Json kEmpty = Json::array();
    const Json* value = Get(key, required);
    if (!value) return kEmpty;
    if (!value->is_array()) WrongType(Path(key), "an array", *value);
    if (required && value->empty()) Refuse(Path(key), "must not be empty");
    if (value->size() > maxItems)
        Refuse(Path(key), "has " + std::to_string(value->size()) + " entries; the most is " +
                              std::to_string(maxItems));
    return *value;
}

int BodyFields::Choice(const char* key, const char* const* names, int count, int fallback) {
    const Json* value = Get(key, false);
    if (!value) return fallback;
    if (!value->is_string()) WrongType(Path(key), "a string", *value);
    const std::string& text = value->get_ref<const std::string&>();
    std::string list;
    for (int i = 0; i < count; ++i) {
        if (text == names[i]) return i;
        list += (i ? ", " : "") + std::string("\"") + names[i] + "\"";
    }
    Refuse(Path(key), "must be one of " + list);
}

void BodyFields::Finish() const {
    for (auto it = object.begin(); it != object.end(); ++it)
        if (!seen.count(it.key())) Refuse(Path(it.key().c_str()), "is not a known field");
}

} // namespace korvod
