#include "sim/serve/TraceReplay.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "trace/TraceLine.h"

namespace korvo::sim {

namespace {

// "HH:MM:SS.mmm TAG TEXT": the text after a tag, or nullptr.
const char* TextAfter(const std::string& line, const char* tag) {
    constexpr size_t kStamp = 12;
    if (line.size() < kStamp + 3 || line[kStamp] != ' ' || line.compare(kStamp + 1, 2, tag) != 0)
        return nullptr;
    if (line.size() == kStamp + 3) return line.c_str() + line.size();
    return line[kStamp + 3] == ' ' ? line.c_str() + kStamp + 4 : nullptr;
}

} // namespace

bool TraceReplay::Load(const char* path, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = std::string("cannot read the trace ") + path;
        return false;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    return Parse(text, path, error);
}

bool TraceReplay::Parse(const std::string& text, const std::string& origin, std::string& error) {
    std::istringstream in(text);
    exchanges.clear();
    next.clear();
    std::string line;
    std::vector<char> bytes;
    size_t number = 0;
    bool traceSeen = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line[0] == '#') {
            traceSeen = traceSeen || line.find("wire trace") != std::string::npos;
            continue;
        }
        const char* request = TextAfter(line, ">>");
        const char* received = request ? nullptr : TextAfter(line, "<<");
        if (!request && !received) continue;
        const char* escaped = request ? request : received;
        size_t length = line.size() - static_cast<size_t>(escaped - line.c_str());
        bytes.resize(length);
        size_t written = 0;
        if (!UnescapeTraceText(escaped, length, bytes.data(), bytes.size(), written)) {
            error = origin + ":" + std::to_string(number) + ": a bad escape";
            return false;
        }
        std::string decoded(written ? bytes.data() : "", written);
        if (request) {
            if (!decoded.empty() && decoded.back() == '\n') decoded.pop_back();
            exchanges.push_back(Exchange{decoded, ""});
        } else if (!exchanges.empty()) {
            exchanges.back().response += decoded;
        }
    }
    if (!traceSeen) {
        error = origin + " is no wire trace of korvocomm";
        return false;
    }
    if (exchanges.empty()) {
        error = origin + " holds no request";
        return false;
    }
    return true;
}

void TraceReplay::Answer(uint32_t connection, const char* line, size_t length, Reply& reply,
                         std::string& note) {
    note.clear();
    reply.length = 0;
    reply.text[0] = '\0';
    reply.code = 0;
    reply.dropAfter = false;
    reply.workMs = 0;
    size_t& cursor = next[connection];
    auto matches = [&](size_t i) {
        const std::string& r = exchanges[i].request;
        return r.size() == length && std::memcmp(r.data(), line, length) == 0;
    };
    size_t found = exchanges.size();
    for (size_t i = cursor; i < exchanges.size() && found == exchanges.size(); ++i)
        if (matches(i)) found = i;
    for (size_t i = 0; i < cursor && found == exchanges.size(); ++i)
        if (matches(i)) found = i;
    if (found == exchanges.size()) {
        note = "replay: the trace has no such request, no answer";
        return;
    }
    if (found != cursor)
        note = "replay: answered with exchange " + std::to_string(found + 1) +
               " of the trace, not " + std::to_string(cursor + 1);
    cursor = found + 1;
    const std::string& response = exchanges[found].response;
    size_t n = response.size() < Reply::kCapacity ? response.size() : Reply::kCapacity;
    if (n < response.size()) note = "replay: the recorded answer is cut to 2500 bytes";
    std::memcpy(reply.text, response.data(), n);
    reply.text[n] = '\0';
    reply.length = n;
}

} // namespace korvo::sim
