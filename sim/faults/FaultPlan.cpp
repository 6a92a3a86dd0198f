#include "sim/faults/FaultPlan.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/CommandCatalogue.h"
#include "sim/values/Amount.h"
#include "trace/TraceLine.h"

namespace korvo::sim {

namespace {

struct Tokens {
    static constexpr int kMax = 8;
    char storage[512];
    const char* items[kMax];
    int count = 0;
};

bool Split(const char* text, Tokens& t) {
    size_t n = std::strlen(text);
    if (n >= sizeof t.storage) return false;
    std::memcpy(t.storage, text, n + 1);
    char* p = t.storage;
    while (*p) {
        while (*p == ' ' || *p == '\t' || *p == '\r')
            *p++ = 0;
        if (!*p) break;
        if (t.count == Tokens::kMax) return false;
        t.items[t.count++] = p;
        while (*p && *p != ' ' && *p != '\t' && *p != '\r')
            ++p;
    }
    return true;
}

bool Fail(std::string& error, const char* what, const char* token) {
    error = std::string(what) + ": " + token;
    return false;
}

// Answers in a faults file use the escapes of the wire trace (\t \n \r \0
// \\ \xHH), so that a traced answer can be pasted in.
bool Unescape(const char* text, FaultAction& action) {
    size_t n = 0;
    if (!UnescapeTraceText(text, std::strlen(text), action.text, sizeof action.text, n))
        return false;
    action.textLength = n;
    return true;
}

bool Number(const char* text, int64_t low, int64_t high, int64_t& value) {
    return ParseInteger(text, low, high, value);
}

// The short name of a command as a rule names it.
bool ResolveCommand(const char* name, char* shortName, size_t size) {
    if (std::strcmp(name, "*") == 0) {
        shortName[0] = 0;
        return true;
    }
    for (const CommandEntry* e = CommandCatalogue; e->shortName; ++e) {
        if (std::strcmp(e->shortName, name) == 0) {
            std::snprintf(shortName, size, "%s", e->shortName);
            return true;
        }
    }
    int32_t index = FindCommand(name);
    if (index < 0) return false;
    std::snprintf(shortName, size, "%s", CommandCatalogue[index].shortName);
    return true;
}

} // namespace

bool FaultPlan::ParseRule(const char* text, FaultRule& rule, std::string& error) {
    rule = FaultRule{};
    Tokens t;
    if (!Split(text, t)) return Fail(error, "rule too long", text);
    if (t.count < 2) return Fail(error, "expected COMMAND ACTION", text);
    if (!ResolveCommand(t.items[0], rule.command, sizeof rule.command))
        return Fail(error, "unknown command", t.items[0]);

    // Options at the end.
    int last = t.count;
    while (last > 2) {
        const char* option = t.items[last - 1];
        int64_t value = 0;
        if (std::strncmp(option, "skip=", 5) == 0) {
            if (!Number(option + 5, 0, INT32_MAX, value))
                return Fail(error, "bad skip", option);
            rule.skip = static_cast<int32_t>(value);
        } else if (std::strncmp(option, "count=", 6) == 0) {
            if (!Number(option + 6, 1, INT32_MAX, value))
                return Fail(error, "bad count", option);
            rule.count = static_cast<int32_t>(value);
        } else {
            break;
        }
        --last;
    }

    const char* action = t.items[1];
    int arguments = last - 2;
    const char* a1 = arguments > 0 ? t.items[2] : nullptr;
    const char* a2 = arguments > 1 ? t.items[3] : nullptr;
    FaultAction& f = rule.action;
    auto expect = [&](int low, int high) { return arguments >= low && arguments <= high; };
    if (std::strcmp(action, "delay") == 0 && expect(1, 1)) {
        f.kind = FaultKind::Delay;
        if (!Number(a1, 0, 3600000, f.value)) return Fail(error, "bad delay", a1);
    } else if (std::strcmp(action, "silent") == 0 && expect(0, 0)) {
        f.kind = FaultKind::Silent;
    } else if (std::strcmp(action, "code") == 0 && expect(1, 1)) {
        f.kind = FaultKind::Code;
        if (!Number(a1, INT32_MIN, INT32_MAX, f.value))
            return Fail(error, "bad code", a1);
    } else if (std::strcmp(action, "malformed") == 0 && expect(0, 0)) {
        f.kind = FaultKind::Malformed;
    } else if (std::strcmp(action, "raw") == 0 && expect(1, 1)) {
        f.kind = FaultKind::Raw;
        if (!Unescape(a1, f)) return Fail(error, "bad raw text", a1);
    } else if (std::strcmp(action, "chunks") == 0 && expect(1, 2)) {
        f.kind = FaultKind::Chunks;
        int64_t gap = 2;
        if (!Number(a1, 1, 4096, f.value)) return Fail(error, "bad chunk size", a1);
        if (a2 && !Number(a2, 0, 60000, gap)) return Fail(error, "bad gap", a2);
        f.gapMs = static_cast<uint32_t>(gap);
    } else if (std::strcmp(action, "double") == 0 && expect(0, 0)) {
        f.kind = FaultKind::Double;
    } else if (std::strcmp(action, "nul") == 0 && expect(0, 0)) {
        f.kind = FaultKind::Nul;
    } else if (std::strcmp(action, "drop") == 0 && expect(0, 1)) {
        f.kind = FaultKind::Drop;
        f.value = -1;
        if (a1 && !Number(a1, 0, 8192, f.value))
            return Fail(error, "bad byte count", a1);
    } else if (std::strcmp(action, "lose") == 0 && expect(0, 0)) {
        f.kind = FaultKind::Lose;
    } else if (std::strcmp(action, "corrupt") == 0 && expect(0, 1)) {
        f.kind = FaultKind::Corrupt;
        f.value = -1;
        if (a1 && !Number(a1, 0, 8192, f.value)) return Fail(error, "bad offset", a1);
    } else {
        return Fail(error, "unknown action or wrong arguments", text);
    }
    return true;
}

bool FaultPlan::Add(const FaultRule& rule) {
    if (Count() >= kMaxRules) return false;
    rules.push_back(rule);
    return true;
}

bool FaultPlan::AddText(const char* text, std::string& error) {
    int number = 0;
    const char* p = text;
    while (*p) {
        ++number;
        const char* end = std::strchr(p, '\n');
        size_t n = end ? static_cast<size_t>(end - p) : std::strlen(p);
        std::string line(p, n);
        p += n + (end ? 1 : 0);
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        FaultRule rule;
        std::string reason;
        if (!ParseRule(line.c_str() + first, rule, reason)) {
            error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
        if (!Add(rule)) {
            error = "line " + std::to_string(number) + ": more than " + std::to_string(kMaxRules) +
                    " rules";
            return false;
        }
    }
    return true;
}

bool FaultPlan::LoadFile(const char* path, std::string& error) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        const char* reason = std::strerror(errno);
        error = std::string(path) + ": " + reason;
        return false;
    }
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0 && text.size() <= kMaxFileBytes)
        text.append(buffer, n);
    std::fclose(f);
    // Cut short, the last rule read could say something else than it does.
    if (text.size() > kMaxFileBytes) {
        error = std::string(path) + ": larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    std::string reason;
    if (!AddText(text.c_str(), reason)) {
        error = std::string(path) + ": " + reason;
        return false;
    }
    return true;
}

FaultAction FaultPlan::Take(const char* shortName) {
    for (FaultRule& rule : rules) {
        if (rule.command[0] && std::strcmp(rule.command, shortName) != 0) continue;
        if (rule.count == 0) continue;
        if (rule.skip > 0) {
            --rule.skip;
            continue;
        }
        if (rule.count > 0) --rule.count;
        return rule.action;
    }
    return FaultAction{};
}

void FaultPlan::Describe(const FaultAction& a, char* out, size_t size) {
    switch (a.kind) {
    case FaultKind::None:
        std::snprintf(out, size, "none");
        break;
    case FaultKind::Delay:
        std::snprintf(out, size, "delay %" PRId64, a.value);
        break;
    case FaultKind::Silent:
        std::snprintf(out, size, "silent");
        break;
    case FaultKind::Code:
        std::snprintf(out, size, "code %" PRId64, a.value);
        break;
    case FaultKind::Malformed:
        std::snprintf(out, size, "malformed");
        break;
    case FaultKind::Raw:
        std::snprintf(out, size, "raw (%zu bytes)", a.textLength);
        break;
    case FaultKind::Chunks:
        std::snprintf(out, size, "chunks %" PRId64 " %u", a.value, a.gapMs);
        break;
    case FaultKind::Double:
        std::snprintf(out, size, "double");
        break;
    case FaultKind::Nul:
        std::snprintf(out, size, "nul");
        break;
    case FaultKind::Drop:
        std::snprintf(out, size, "drop %" PRId64, a.value);
        break;
    case FaultKind::Lose:
        std::snprintf(out, size, "lose");
        break;
    case FaultKind::Corrupt:
        std::snprintf(out, size, "corrupt %" PRId64, a.value);
        break;
    }
}

} // namespace korvo::sim
