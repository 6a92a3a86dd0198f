// Writes the command and result-code reference (commands.md, result-codes.md)
// from the catalogues the library itself uses, so that the reference cannot
// drift from the code. The texts are Windows-1250 in the tables and UTF-8 in
// the reference.
//
//   make_reference <output folder>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "protocol/CommandCatalogue.h"
#include "protocol/ErrorCatalogue.h"
#include "protocol/errors/Cp1250.h"

namespace korvo {
namespace {

struct Failure {
    std::string message;
};

const char kGeneratedNote[] =
    "<!-- Written by docs/generator/MakeReference.cpp from the library's tables: do not edit.\n"
    "     After a change to the tables, run `make reference` and commit the result. -->\n";

std::string Utf8(const char* cp1250) {
    std::string out;
    if (!Cp1250ToUtf8(cp1250, out)) throw Failure{std::string("undefined Windows-1250 byte in: ") + out};
    return out;
}

// A table cell: the pipe ends a cell, and a '<' before a letter would start
// an HTML tag; everything else reads as written.
std::string Cell(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '|' || c == '\\' || c == '`' || c == '*')
            out += '\\', out += c;
        else if (c == '<' && (std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!'))
            out += "&lt;";
        else
            out += c;
    }
    return out;
}

// The TAB-separated names of a head, each as code.
std::string HeadCell(const char* head) {
    if (!head) return "";
    std::string out;
    std::string name;
    const std::string text = head;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\t') {
            if (!out.empty()) out += ", ";
            out += "`" + name + "`";
            name.clear();
        } else {
            name += text[i];
        }
    }
    return out;
}

bool IsHandshake(const CommandEntry& e) {
    return e.longName[0] == '\t';
}

// The codes for which each command (by short name) has a text of its own.
std::map<std::string, std::vector<int32_t>> OwnTexts() {
    std::map<std::string, std::vector<int32_t>> own;
    for (const ErrorEntry* e = ErrorCatalogueEnglish; e->name; ++e)
        if (e->commandKey[0]) own[e->commandKey].push_back(e->code);
    return own;
}

std::string Commands() {
    const auto own = OwnTexts();
    int commands = 0, handshakes = 0;
    for (const CommandEntry* e = CommandCatalogue; e->shortName; ++e)
        (IsHandshake(*e) ? handshakes : commands)++;

    std::ostringstream out;
    out << "# Commands\n\n" << kGeneratedNote << "\n"
        << "Every command the library can send, as its command catalogue holds it: " << commands
        << " printer commands and the " << handshakes
        << " requests of the library's own handshake, " << commands + handshakes << " entries.\n\n"
        << "- An application names a command by its long or its short name, in any letter case\n"
           "  (`SendCommand`, korvoprog's command files); the short name is what travels on the wire.\n"
        << "- The time limit is the base of the wait for the response; the connection adds its\n"
           "  allowances to it (see [time limits](../time-limits.md)).\n"
        << "- Request parameters and response values are listed in their order on the line, where\n"
           "  TAB separates them. A `*` in front of a parameter marks one that may be left empty;\n"
           "  the library passes the parameters as given and checks none of them.\n"
        << "- Own texts: the result codes for which the command has a text of its own (see\n"
           "  [result codes](result-codes.md#texts-for-one-command)); for every other code the\n"
           "  general text applies.\n\n"
        << "| # | Long name | Short name | Time limit (ms) | Request parameters | Response values | Own texts |\n"
        << "|--:|---|---|--:|---|---|---|\n";
    int number = 0;
    for (const CommandEntry* e = CommandCatalogue; e->shortName; ++e) {
        ++number;
        std::string longName = IsHandshake(*e) ? std::string("(handshake: ") + (e->longName + 1) +
                                                     ", not for `SendCommand`)"
                                               : "`" + std::string(e->longName) + "`";
        std::string codes;
        const auto found = own.find(e->shortName);
        if (found != own.end())
            for (int32_t code : found->second)
                codes += (codes.empty() ? "" : ", ") + std::to_string(code);
        out << "| " << number << " | " << longName << " | `" << e->shortName << "` | " << e->responseTime
            << " | " << HeadCell(e->requestHead) << " | " << HeadCell(e->responseHead) << " | " << codes
            << " |\n";
    }
    return out.str();
}

// General rows in the order a reader looks codes up: 0 and the printer's
// codes rising, then the library's codes falling.
std::vector<size_t> GeneralRowsInOrder() {
    std::vector<size_t> positive, negative;
    for (size_t i = 0; ErrorCatalogueEnglish[i].name; ++i) {
        const ErrorEntry& e = ErrorCatalogueEnglish[i];
        if (e.commandKey[0]) continue;
        (e.code >= 0 ? positive : negative).push_back(i);
    }
    auto code = [](size_t row) { return ErrorCatalogueEnglish[row].code; };
    std::stable_sort(positive.begin(), positive.end(), [&](size_t a, size_t b) { return code(a) < code(b); });
    std::stable_sort(negative.begin(), negative.end(), [&](size_t a, size_t b) { return code(a) > code(b); });
    positive.insert(positive.end(), negative.begin(), negative.end());
    return positive;
}

const char* LongNameOf(const char* shortName) {
    for (const CommandEntry* e = CommandCatalogue; e->shortName; ++e)
        if (std::string(e->shortName) == shortName) return IsHandshake(*e) ? e->longName + 1 : e->longName;
    throw Failure{std::string("error row for unknown command ") + shortName};
}

std::string ResultCodes() {
    const std::vector<size_t> general = GeneralRowsInOrder();
    int printer = 0, library = 0, specific = 0;
    for (size_t i : general)
        (ErrorCatalogueEnglish[i].code >= 0 ? printer : library)++;
    for (const ErrorEntry* e = ErrorCatalogueEnglish; e->name; ++e)
        if (e->commandKey[0]) ++specific;

    std::ostringstream out;
    out << "# Result codes\n\n" << kGeneratedNote << "\n"
        << "Every result code the library hands out, with its name and its English and Slovak text\n"
        << "as `GetErrorName`, `GetErrorText` and `GetCommandErrorText` give them: " << printer + library
        << " codes, " << printer << " of them 0 or positive (from the printer's response line) and "
        << library << " negative (from the library itself); see [result codes](../result-codes.md).\n"
        << "Then the " << specific
        << " texts that explain a code in the terms of one command, which take the place of the\n"
           "general text after that command.\n\n"
        << "The library hands the texts out in Windows-1250; they are written here in UTF-8.\n\n";

    auto table = [&](const char* title, bool positive) {
        out << "## " << title << "\n\n| Code | Name | English | Slovak |\n|--:|---|---|---|\n";
        for (size_t i : general) {
            const ErrorEntry& en = ErrorCatalogueEnglish[i];
            if ((en.code >= 0) != positive) continue;
            out << "| " << en.code << " | `" << en.name << "` | " << Cell(Utf8(en.text)) << " | "
                << Cell(Utf8(ErrorCatalogueSlovak[i].text)) << " |\n";
        }
        out << "\n";
    };
    table("Success and printer codes", true);
    table("Library codes", false);

    out << "## Texts for one command\n\n"
        << "| Code | Name | Command | English | Slovak |\n|--:|---|---|---|---|\n";
    for (size_t i = 0; ErrorCatalogueEnglish[i].name; ++i) {
        const ErrorEntry& en = ErrorCatalogueEnglish[i];
        if (!en.commandKey[0]) continue;
        out << "| " << en.code << " | `" << en.name << "` | `" << LongNameOf(en.commandKey) << "` (`"
            << en.commandKey << "`) | " << Cell(Utf8(en.text)) << " | "
            << Cell(Utf8(ErrorCatalogueSlovak[i].text)) << " |\n";
    }
    return out.str();
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) throw Failure{"cannot write " + path};
}

} // namespace
} // namespace korvo

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_reference <output folder>\n";
        return 2;
    }
    try {
        const std::string folder = argv[1];
        korvo::Write(folder + "/commands.md", korvo::Commands());
        korvo::Write(folder + "/result-codes.md", korvo::ResultCodes());
    } catch (const korvo::Failure& failure) {
        std::cerr << "make_reference: " << failure.message << "\n";
        return 1;
    }
    return 0;
}
