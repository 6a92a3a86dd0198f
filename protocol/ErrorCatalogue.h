// The name and the English and Slovak texts of every result code, with texts
// that explain some printer codes in the terms of one command.
#pragma once

#include <cstdint>

namespace korvo {

struct ErrorEntry {
    int32_t code;
    // "" on the general row of a code, otherwise the short name of the
    // command the row explains the code for.
    const char* commandKey;
    const char* name; // on specific rows the same as on the code's general row
    const char* text; // Windows-1250
};

// 148 general rows, one for each code, then 142 command-specific rows.
constexpr int32_t kErrorRowCount = 290;

// The same rows in the same order, differing only in their texts; each is
// followed by a terminating row whose key, name and text are nullptr.
// Generated at build time from protocol/errors/en.txt and sk.txt.
extern const ErrorEntry ErrorCatalogueEnglish[kErrorRowCount + 1];
extern const ErrorEntry ErrorCatalogueSlovak[kErrorRowCount + 1];

// The text of code in the English table when language is LANGUAGE_ENGLISH,
// else in the Slovak one. A key (also "") selects the row for that command,
// compared case-sensitively; without one, or when the command has no row of
// its own, the code's general row answers. The text goes out by CopyOut;
// APP_NO_ERROR_TEXT, with the buffer untouched, for a code without a row.
int32_t FindErrorText(int32_t language, int32_t code, const char* key, char* buffer, int32_t size);

// The name of code, by CopyOut; APP_NO_ERROR_TEXT for a code without a row.
int32_t FindErrorName(int32_t code, char* buffer, int32_t size);

} // namespace korvo
