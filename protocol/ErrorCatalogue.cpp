#include "protocol/ErrorCatalogue.h"

#include <cstring>

#include "protocol/CopyOut.h"
#include "protocol/ResultCodes.h"

namespace korvo {
namespace {

// First row of code whose key equals key, or with key nullptr the first row
// of code at all, which is its general row.
const ErrorEntry* FindRow(const ErrorEntry* table, int32_t code, const char* key) {
    for (const ErrorEntry* row = table; row->text != nullptr; ++row)
        if (row->code == code && (key == nullptr || std::strcmp(row->commandKey, key) == 0))
            return row;
    return nullptr;
}

} // namespace

int32_t FindErrorText(int32_t language, int32_t code, const char* key, char* buffer, int32_t size) {
    const ErrorEntry* table =
        language == LANGUAGE_ENGLISH ? ErrorCatalogueEnglish : ErrorCatalogueSlovak;
    const ErrorEntry* row = key != nullptr ? FindRow(table, code, key) : nullptr;
    if (row == nullptr) row = FindRow(table, code, nullptr);
    if (row == nullptr) return APP_NO_ERROR_TEXT;
    return CopyOut(row->text, buffer, size);
}

int32_t FindErrorName(int32_t code, char* buffer, int32_t size) {
    const ErrorEntry* row = FindRow(ErrorCatalogueEnglish, code, nullptr);
    if (row == nullptr) return APP_NO_ERROR_TEXT;
    return CopyOut(row->name, buffer, size);
}

} // namespace korvo
