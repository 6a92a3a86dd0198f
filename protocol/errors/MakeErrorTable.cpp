// Build-time tool: turns one language's error-text file (UTF-8, see en.txt)
// into the C++ definition of that language's ErrorEntry array, with the texts
// as Windows-1250 bytes. Any character the code page cannot hold, and any row
// that breaks the table's order rules, fails the build with file and line.
//
//   make_error_table <texts.txt> <array name> <output.cpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "protocol/errors/Cp1250.h"

namespace {

// A text converted to Windows-1250, in pieces: the cloud domain is left to
// the compiler so that it is defined in one header only.
struct Piece {
    bool cloudDomain;
    std::string bytes;
};

struct Row {
    long code;
    std::string key; // empty for the general row
    std::string name;
    std::vector<Piece> text;
};

struct Failure {
    std::string message;
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string NextField(const std::string& line, size_t& pos) {
    while (pos < line.size() && IsBlank(line[pos]))
        ++pos;
    const size_t start = pos;
    while (pos < line.size() && !IsBlank(line[pos]))
        ++pos;
    return line.substr(start, pos - start);
}

long ParseCode(const std::string& field) {
    if (field.empty()) throw Failure{"missing code"};
    char* end = nullptr;
    errno = 0;
    const long code = std::strtol(field.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || code < -2147483647L - 1 || code > 2147483647L)
        throw Failure{"bad code '" + field + "'"};
    return code;
}

bool AllOf(const std::string& s, bool (*allowed)(char)) {
    if (s.empty()) return false;
    for (char c : s)
        if (!allowed(c)) return false;
    return true;
}

bool IsKeyChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

void AppendBytes(const std::string& bytes, std::vector<Piece>& text) {
    if (bytes.empty()) return;
    if (text.empty() || text.back().cloudDomain)
        text.push_back(Piece{false, bytes});
    else
        text.back().bytes += bytes;
}

// Converts the text, then resolves the placeholders, which are ASCII and so
// come through the conversion unchanged.
std::vector<Piece> ParseText(const std::string& utf8) {
    if (utf8.empty()) throw Failure{"missing text"};
    if (IsBlank(utf8.back())) throw Failure{"text ends in a blank"};
    // No TAB, LF or other control byte: texts end up inside TAB-separated
    // lines of the response file.
    for (char c : utf8)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            throw Failure{"control character in text"};
    // A no-break space typed as such is invisible to a reviewer.
    if (utf8.find("\xC2\xA0") != std::string::npos)
        throw Failure{"no-break space in text: write {nbsp}"};
    std::string bytes;
    std::string error;
    if (!korvo::Utf8ToCp1250(utf8, bytes, error)) throw Failure{"text: " + error};

    std::vector<Piece> text;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t open = bytes.find('{', pos);
        AppendBytes(bytes.substr(pos, open - pos), text);
        if (open == std::string::npos) break;
        const size_t close = bytes.find('}', open);
        if (close == std::string::npos) throw Failure{"unclosed '{'"};
        const std::string placeholder = bytes.substr(open, close + 1 - open);
        if (placeholder == "{cloud}")
            text.push_back(Piece{true, std::string()});
        else if (placeholder == "{nbsp}")
            AppendBytes("\xA0", text);
        else
            throw Failure{"unknown placeholder " + placeholder};
        pos = close + 1;
    }
    return text;
}

// Checks each row against the rows before it: one general row per code,
// placed before the code's specific rows, which repeat its name; no two rows
// for the same code and command.
void CheckOrder(const Row& row, std::map<long, std::string>& names,
                std::set<std::pair<long, std::string>>& seen) {
    if (!seen.insert({row.code, row.key}).second)
        throw Failure{row.key.empty() ? "second general row for this code"
                                      : "second row for this code and command"};
    if (row.key.empty()) {
        names[row.code] = row.name;
        return;
    }
    const auto general = names.find(row.code);
    if (general == names.end()) throw Failure{"specific row before the general row of its code"};
    if (general->second != row.name)
        throw Failure{"name differs from the general row's " + general->second};
}

std::vector<Row> ReadRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure{"cannot read " + path};
    std::vector<Row> rows;
    std::map<long, std::string> names;
    std::set<std::pair<long, std::string>> seen;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        try {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t pos = 0;
            while (pos < line.size() && IsBlank(line[pos]))
                ++pos;
            if (pos == line.size() || line[pos] == '#') continue;
            Row row;
            row.code = ParseCode(NextField(line, pos));
            row.key = NextField(line, pos);
            if (row.key == "-")
                row.key.clear();
            else if (!AllOf(row.key, IsKeyChar))
                throw Failure{"bad command key '" + row.key + "'"};
            row.name = NextField(line, pos);
            if (!AllOf(row.name, IsNameChar)) throw Failure{"bad name '" + row.name + "'"};
            while (pos < line.size() && IsBlank(line[pos]))
                ++pos;
            row.text = ParseText(line.substr(pos));
            CheckOrder(row, names, seen);
            rows.push_back(std::move(row));
        } catch (const Failure& failure) {
            throw Failure{path + ":" + std::to_string(lineNumber) + ": " + failure.message};
        }
    }
    if (rows.empty()) throw Failure{path + ": no rows"};
    return rows;
}

// A C++ string literal; octal escapes, as a hex escape would swallow the
// letters that follow it.
std::string Literal(const std::string& bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        const unsigned char b = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\' || c == '?') {
            out += '\\';
            out += c;
        } else if (b >= 0x20 && b < 0x7F) {
            out += c;
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", b);
            out += escape;
        }
    }
    return out + "\"";
}

std::string TextExpression(const std::vector<Piece>& text) {
    std::string out;
    for (const Piece& piece : text) {
        if (!out.empty()) out += ' ';
        out += piece.cloudDomain ? "KORVO_CLOUD_DOMAIN" : Literal(piece.bytes);
    }
    return out;
}

std::string Generate(const std::vector<Row>& rows, const std::string& source,
                     const std::string& arrayName) {
    std::ostringstream out;
    out << "// Generated by make_error_table from " << source << "; edit that file instead.\n"
        << "#include \"protocol/CloudDomain.h\"\n"
        << "#include \"protocol/ErrorCatalogue.h\"\n\n"
        << "namespace korvo {\n\n"
        // The bound is the number of rows read, so a row count that differs
        // from the header's is a compile error.
        << "const ErrorEntry " << arrayName << "[" << rows.size() << " + 1] = {\n";
    for (const Row& row : rows)
        out << "    {" << row.code << ", " << Literal(row.key) << ", " << Literal(row.name) << ", "
            << TextExpression(row.text) << "},\n";
    out << "    {0, nullptr, nullptr, nullptr},\n};\n\n} // namespace korvo\n";
    return out.str();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make_error_table <texts.txt> <array name> <output.cpp>\n";
        return 2;
    }
    try {
        const std::string source = argv[1];
        const std::vector<Row> rows = ReadRows(source);
        const std::string name = source.substr(source.find_last_of("/\\") + 1);
        const std::string code = Generate(rows, name, argv[2]);
        std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
        out << code;
        out.close();
        if (!out) throw Failure{std::string("cannot write ") + argv[3]};
    } catch (const Failure& failure) {
        std::cerr << "make_error_table: " << failure.message << "\n";
        std::remove(argv[3]);
        return 1;
    }
    return 0;
}
