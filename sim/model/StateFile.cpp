#include "sim/model/StateFile.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "sim/model/PrinterModel.h"
#include "sim/model/StateVisitor.h"
#include "sim/values/Amount.h"

namespace korvo::sim {

namespace {

// Texts are kept on one line: backslash, LF and CR are escaped.
std::string Escape(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (*p == '\\') {
            out += "\\\\";
        } else if (*p == '\n') {
            out += "\\n";
        } else if (*p == '\r') {
            out += "\\r";
        } else {
            out += *p;
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char n = text[++i];
            c = n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        }
        out += c;
    }
    return out;
}

class Writer : public StateVisitor {
public:
    explicit Writer(std::FILE* f) : file(f) {}
    void Integer(const char* key, int64_t& value) override {
        std::fprintf(file, "%s=%" PRId64 "\n", key, value);
    }
    void Text(const char* key, char* text, size_t) override {
        std::fprintf(file, "%s=%s\n", key, Escape(text).c_str());
    }

private:
    std::FILE* file;
};

class Reader : public StateVisitor {
public:
    explicit Reader(const std::map<std::string, std::string>& v) : values(v) {}
    void Integer(const char* key, int64_t& value) override {
        auto it = values.find(key);
        if (it == values.end()) return;
        int64_t v = 0;
        if (!ParseInteger(it->second.c_str(), INT64_MIN / 2, INT64_MAX / 2, v)) {
            if (bad.empty()) bad = key;
            return;
        }
        value = v;
    }
    void Text(const char* key, char* text, size_t size) override {
        auto it = values.find(key);
        if (it == values.end()) return;
        std::snprintf(text, size, "%s", Unescape(it->second).c_str());
    }
    std::string bad;

private:
    const std::map<std::string, std::string>& values;
};

} // namespace

bool LoadState(PrinterModel& model, const char* path, std::string& error) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) {
        if (errno == ENOENT) return true;
        const char* reason = std::strerror(errno);
        error = std::string(path) + ": " + reason;
        return false;
    }
    std::map<std::string, std::string> values;
    char line[1024];
    while (std::fgets(line, sizeof line, f)) {
        size_t n = std::strlen(line);
        while (n && (line[n - 1] == '\n' || line[n - 1] == '\r'))
            line[--n] = 0;
        if (!n || line[0] == '#') continue;
        char* eq = std::strchr(line, '=');
        if (!eq) continue;
        *eq = 0;
        values[line] = eq + 1;
    }
    std::fclose(f);
    Reader reader(values);
    model.VisitState(reader);
    if (!reader.bad.empty()) {
        error = std::string(path) + ": bad value for " + reader.bad;
        return false;
    }
    return true;
}

bool SaveState(PrinterModel& model, const char* path, std::string& error) {
    std::string temporary = std::string(path) + ".tmp";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f) {
        const char* reason = std::strerror(errno);
        error = temporary + ": " + reason;
        return false;
    }
    std::fprintf(f, "# korvosim printer state\n");
    Writer writer(f);
    model.VisitState(writer);
    bool ok = std::fflush(f) == 0;
    ok = std::fclose(f) == 0 && ok;
    if (!ok || std::rename(temporary.c_str(), path) != 0) {
        const char* reason = std::strerror(errno);
        error = std::string(path) + ": " + reason;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace korvo::sim
