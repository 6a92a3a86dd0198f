// The virtual paper roll: every printed document as plain text, written to a
// file as it is printed (when one is given) and kept in memory for tests and
// for duplicates.
#pragma once

#include <cstddef>
#include <string>

#include "sim/records/AppendFile.h"

namespace korvo::sim {

class PaperRoll {
public:
    static constexpr int kWidth = 40;

    // Appends to path from now on; false with a reason when it cannot be opened.
    bool OpenFile(const char* path, std::string& error) { return out.Open(path, error); }

    // Text wider than the paper wraps onto further lines.
    void Line(const char* text);
    // A line that is printed only when it has text (pre- and post-lines).
    void LineIfAny(const char* text) {
        if (text[0]) Line(text);
    }
    void Center(const char* text);
    // left and right on one line; on two when they do not fit together.
    void LeftRight(const char* left, const char* right);
    void Rule(char c = '-');
    void Blank();
    // The end of a document: a cut mark.
    void Cut();

    // A document is the text from BeginDocument to EndDocument.
    void BeginDocument();
    void EndDocument();
    const std::string& LastDocument() const { return lastDocument; }
    // Reprints a stored document as it was.
    void Reprint(const std::string& document);

    // Everything printed since the start (bounded: the oldest text goes
    // first once it passes kMemoryLimit).
    const std::string& Text() const { return out.Text(); }

private:
    void Emit(const char* text, size_t length);

    AppendFile out;
    std::string document;
    std::string lastDocument;
    bool inDocument = false;
};

} // namespace korvo::sim
