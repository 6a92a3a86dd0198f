#include "ExactJson.h"

#include <vector>

namespace korvod {

namespace {

// Builds the document from the parser's events, like the library's own
// DOM builder but keeping number texts and refusing duplicate keys.
class ExactBuilder : public nlohmann::json_sax<Json> {
public:
    explicit ExactBuilder(Json& root) : root(root) {}

    bool null() override { return Add(Json(nullptr)); }
    bool boolean(bool value) override { return Add(Json(value)); }
    bool number_integer(number_integer_t value) override { return Add(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return Add(Json(value)); }
    bool number_float(number_float_t, const string_t& text) override {
        return Add(Json::binary(std::vector<std::uint8_t>(text.begin(), text.end()), kDecimalLiteral));
    }
    bool string(string_t& value) override { return Add(Json(std::move(value))); }
    bool binary(binary_t& value) override { return Add(Json::binary(std::move(value))); }

    bool start_object(std::size_t) override { return Open(Json::object()); }
    bool key(string_t& name) override {
        Json& object = *stack.back();
        if (object.contains(name)) {
            error = "duplicate key \"" + name + "\"";
            return false;
        }
        pendingKey = &object[name];
        return true;
    }
    bool end_object() override {
        stack.pop_back();
        return true;
    }
    bool start_array(std::size_t) override { return Open(Json::array()); }
    bool end_array() override {
        stack.pop_back();
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) override {
        error = e.what();
        // The library's messages begin with their class and id in brackets.
        size_t end = error.find("] ");
        if (!error.empty() && error[0] == '[' && end != std::string::npos) error.erase(0, end + 2);
        return false;
    }

    std::string error;

private:
    bool Open(Json value) {
        if (stack.size() >= static_cast<size_t>(kMaxJsonDepth)) {
            error = "nested too deeply";
            return false;
        }
        Json* place = Place();
        *place = std::move(value);
        stack.push_back(place);
        return true;
    }
    bool Add(Json value) {
        *Place() = std::move(value);
        return true;
    }
    Json* Place() {
        if (stack.empty()) return &root;
        Json& container = *stack.back();
        if (container.is_array()) {
            container.push_back(nullptr);
            return &container.back();
        }
        Json* place = pendingKey;
        pendingKey = nullptr;
        return place;
    }

    Json& root;
    std::vector<Json*> stack;
    Json* pendingKey = nullptr;
};

} // namespace

bool ParseExactJson(const std::string& text, Json& out, std::string& error) {
    out = Json();
    ExactBuilder builder(out);
    bool ok = false;
    try {
        ok = Json::sax_parse(text, &builder, Json::input_format_t::json, true, false);
    } catch (const std::exception& e) {
        builder.error = e.what();
        ok = false;
    }
    if (!ok) {
        error = builder.error.empty() ? "not a JSON document" : builder.error;
        out = Json();
    }
    return ok;
}

bool IsDecimalLiteral(const Json& value) {
    return value.is_binary() && value.get_binary().has_subtype() &&
           value.get_binary().subtype() == kDecimalLiteral;
}

std::string DecimalLiteralText(const Json& value) {
    const auto& bytes = value.get_binary();
    return std::string(bytes.begin(), bytes.end());
}

} // namespace korvod
