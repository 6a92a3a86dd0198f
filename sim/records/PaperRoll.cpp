#include "sim/records/PaperRoll.h"

#include <cstring>

namespace korvo::sim {

void PaperRoll::Emit(const char* text, size_t length) {
    char line[kWidth + 2];
    std::memcpy(line, text, length);
    line[length] = '\n';
    out.Append(line, length + 1);
    if (inDocument) document.append(line, length + 1);
}

void PaperRoll::Line(const char* text) {
    size_t length = std::strlen(text);
    if (length == 0) {
        Emit("", 0);
        return;
    }
    while (length > 0) {
        size_t piece = length > static_cast<size_t>(kWidth) ? kWidth : length;
        Emit(text, piece);
        text += piece;
        length -= piece;
    }
}

void PaperRoll::Center(const char* text) {
    size_t length = std::strlen(text);
    if (length >= static_cast<size_t>(kWidth)) {
        Line(text);
        return;
    }
    char line[kWidth + 1];
    size_t pad = (kWidth - length) / 2;
    std::memset(line, ' ', pad);
    std::memcpy(line + pad, text, length);
    line[pad + length] = 0;
    Line(line);
}

void PaperRoll::LeftRight(const char* left, const char* right) {
    size_t l = std::strlen(left);
    size_t r = std::strlen(right);
    if (l + 1 + r > static_cast<size_t>(kWidth)) {
        Line(left);
        l = 0;
        left = "";
    }
    if (r > static_cast<size_t>(kWidth)) {
        Line(right);
        return;
    }
    char line[kWidth + 1];
    std::memset(line, ' ', kWidth);
    std::memcpy(line, left, l);
    std::memcpy(line + kWidth - r, right, r);
    line[kWidth] = 0;
    Line(line);
}

void PaperRoll::Rule(char c) {
    char line[kWidth + 1];
    std::memset(line, c, kWidth);
    line[kWidth] = 0;
    Line(line);
}

void PaperRoll::Blank() {
    Emit("", 0);
}

void PaperRoll::Cut() {
    Blank();
    Line("- - - - - - - - - - - - - - - - - - - -");
    Blank();
}

void PaperRoll::BeginDocument() {
    document.clear();
    inDocument = true;
}

void PaperRoll::EndDocument() {
    if (!inDocument) return;
    inDocument = false;
    lastDocument.swap(document);
    document.clear();
}

void PaperRoll::Reprint(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        size_t length = end - start;
        Emit(text.data() + start, length > static_cast<size_t>(kWidth) ? kWidth : length);
        start = end + 1;
    }
}

} // namespace korvo::sim
