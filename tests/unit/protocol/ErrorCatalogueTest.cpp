#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>

#include "protocol/CloudDomain.h"
#include "protocol/CommandCatalogue.h"
#include "protocol/ErrorCatalogue.h"
#include "protocol/ResultCodes.h"
#include "protocol/errors/Cp1250.h"

namespace korvo {
namespace {

// Expected texts are written here in UTF-8, as a reader knows them.
std::string Cp(const std::string& utf8) {
    std::string out, error;
    EXPECT_TRUE(Utf8ToCp1250(utf8, out, error)) << error;
    return out;
}

// The text as a caller gets it, or the result code when there is none.
std::string Text(int32_t language, int32_t code, const char* key = nullptr) {
    char buffer[1024];
    const int32_t length = FindErrorText(language, code, key, buffer, sizeof buffer);
    if (length < 0) return "result " + std::to_string(length);
    EXPECT_LT(length, static_cast<int32_t>(sizeof buffer));
    return std::string(buffer, static_cast<size_t>(length));
}

std::string English(int32_t code, const char* key = nullptr) {
    return Text(LANGUAGE_ENGLISH, code, key);
}
std::string Slovak(int32_t code, const char* key = nullptr) {
    return Text(LANGUAGE_SLOVAK, code, key);
}

struct NamedCode {
    int32_t code;
    const char* name;
};

// clang-format off
#define ROW(name) {name, #name}
// Every result code of the public header under its name there.
const NamedCode kHeaderCodes[] = {
    ROW(EFP_OK), ROW(E_ILLEGAL), ROW(E_OFFLINE), ROW(E_NOEXIST), ROW(E_FAILURE),
    ROW(EFP_COVER_OPEN), ROW(EFP_REC_EMPTY), ROW(EFP_WRONG_STATE), ROW(EFP_CLOCK_ERROR),
    ROW(EFP_FISCAL_MEMORY_FULL), ROW(EFP_FM_DISCONNECTED), ROW(EFP_BAD_QUANTITY),
    ROW(EFP_BAD_AMOUNT), ROW(EFP_BAD_DESCRIPTION), ROW(EFP_REC_TOTAL_OVERFLOW),
    ROW(EFP_BAD_VAT), ROW(EFP_BAD_PRICE), ROW(EFP_BAD_DATE), ROW(EFP_BAD_REF_RECEIPT),
    ROW(EFP_UNEXPECT_REF_RECEIPT), ROW(EFP_BAD_SPEC_REG), ROW(EFP_UNEXPECT_SPEC_REG),
    ROW(EFP_DAY_END_REQUIRED), ROW(EFP_INSPECTION_REQUEST), ROW(EFP_TAX_AUTH_REG_IN_PROGRESS),
    ROW(EFP_LOCATION_REG_IN_PROGRESS), ROW(EFP_LOCATION_NOT_SET), ROW(EFP_BAD_PAYMENT),
    ROW(EFP_BAD_CHANGE_TYPE), ROW(EFP_FW_UPDATE_REQUEST), ROW(EFP_INVALID_FW_SIGNATURE),
    ROW(EFP_WRONG_FW), ROW(EFP_EMPTY_SERIAL_NUM), ROW(EFP_NO_CERTIFICATE),
    ROW(EFP_INVALID_CERTIFICATE), ROW(EFP_MISSING_IDENTITY_DATA), ROW(EFP_FW_DOWNLOADING),
    ROW(EFP_ICM_BLOCKED), ROW(EFP_PSTORAGE_WRN_LIMIT1), ROW(EFP_PSTORAGE_WRN_LIMIT2),
    ROW(EFP_MAX_DTMSG_ITEMS_EXCEEDED), ROW(EFP_MAX_PAYMENT_CNT_EXCEEDED),
    ROW(EFP_NOT_PAYABLE_AMOUNT), ROW(EFP_BAD_EMAIL_ADDRESS), ROW(EFP_NEG_ITEMS_OVER),
    ROW(EFP_DSP_DISCONNECTED), ROW(EFP_PRN_DISCONNECTED), ROW(EFP_FM_INTERNAL_ERROR),
    ROW(EFP_DSP_INTERNAL_ERROR), ROW(EFP_PRN_INTERNAL_ERROR), ROW(EEJ_ERROR_IN_OPERATION),
    ROW(EFP_OPERATION_ERROR), ROW(EFP_ICM_CHANGED), ROW(EFP_PSTORAGE_FULL),
    ROW(EFP_ILLEGAL_COMMAND), ROW(EFP_READ_ONLY), ROW(EFP_ALREADY_FISCAL), ROW(EFP_TOOBIG),
    ROW(EFP_NOT_FISCAL), ROW(EFP_CUTTER), ROW(EFP_DATA_TYPE), ROW(EFP_LONG_MESSAGE),
    ROW(EFP_EXTRA_FIELD), ROW(EFP_MISSING_FIELD), ROW(EFP_MISSING_PRM), ROW(EFP_UNKNOWN_CMD),
    ROW(EFP_NETWORK), ROW(EFP_MANDATORY_FW_UPDATE), ROW(EFP_FW_UPDATE_NEED_FISCAL),
    ROW(EFP_INACTIVE_ON_CLOUD), ROW(EEJ_NOT_READ), ROW(EEJ_DATA_MEDIUM_ERROR),
    ROW(EEJ_DATA_MEDIUM_COVER_OPEN), ROW(EEJ_NOT_ENOUGH_SPACE), ROW(EEJ_EXPORT),
    ROW(EFP_ICM_COMM_ERROR), ROW(EFP_ICM_BUSY), ROW(EFP_ICM_OPERATION_ERROR),
    ROW(EFP_TAX_AUTH_REGIST_REJECTED), ROW(EFP_DUPLICATE_BUFFER_FULL),
    ROW(EFP_ICM_JRN_DOC_UNFINISHED), ROW(EFP_COVER_OPEN_WARNING), ROW(EFP_CUTTER_WARNING),
    ROW(EFP_REC_EMPTY_WARNING), ROW(EEJ_EXPORT_WARNING), ROW(APP_NOT_SUPPORTED),
    ROW(APP_CONNECTION_ERROR), ROW(APP_UNKNOWN_CFG_VALUE), ROW(APP_NO_ERROR_TEXT),
    ROW(APP_TERMINATED), ROW(APP_COMMUNICATION_ABORTED), ROW(APP_INVALID_CFG_NAME),
    ROW(APP_INVALID_CFG_VALUE), ROW(APP_WRONG_CFG_VALUE), ROW(APP_READ_ONLY_CFG_VALUE),
    ROW(APP_DYNAMIC_ONLY_CFG_VALUE), ROW(APP_STATIC_ONLY_CFG_VALUE),
    ROW(APP_CFG_VALUE_OUT_OF_RANGE), ROW(APP_MAX_CONNECTION_COUNT), ROW(APP_INVALID_HANDLE),
    ROW(APP_INVALID_COM_SPEED), ROW(APP_INVALID_LINK_ADDRESS), ROW(APP_INVALID_HOST_ADDRESS),
    ROW(APP_INVALID_PORT), ROW(APP_DISCONNECTED), ROW(APP_RESPONSE_TIMEOUT),
    ROW(APP_UNKNOWN_RECEIVE_ERROR), ROW(APP_WRONG_RESPONSE_DATA), ROW(APP_NO_NETWORK_LAYER),
    ROW(APP_PACKET_RECEIVE_ERROR), ROW(APP_PACKET_SEND_ERROR), ROW(APP_PACKET_TIMEOUT),
    ROW(APP_PACKET_INCOMPLETE), ROW(APP_PACKET_WRONG_DATA), ROW(APP_PACKET_CORRUPTED),
    ROW(APP_PACKET_UNKNOWN_TYPE), ROW(APP_NETW_LAYER_FAILED), ROW(APP_UNKNOWN_COMMAND),
    ROW(APP_COMMAND_TOO_LONG), ROW(APP_CMD_NAME_TOO_LONG), ROW(APP_CMD_DATA_TOO_LONG),
    ROW(APP_CMD_PARAM_TOO_LONG), ROW(APP_NO_RESPONSE_RECEIVED), ROW(APP_NO_OUTPUT_BUFFER),
    ROW(APP_INVALID_BUFFER_LEN), ROW(APP_COMM_THREAD_ERROR), ROW(APP_CAN_NOT_OPEN_PORT),
    ROW(APP_PORT_CONFIG_ERROR), ROW(APP_PORT_IS_BUSY), ROW(APP_PORT_DO_NOT_EXIST),
    ROW(APP_CAN_NOT_SEND_DATA), ROW(APP_READING_DATA_ERROR), ROW(APP_COM_OPEN_GENERAL_FAIL),
    ROW(APP_COM_STATE_GENERAL_FAIL), ROW(APP_COM_SETUP_GENERAL_FAIL),
    ROW(APP_TCP_SOCKET_INIT_ERROR), ROW(APP_TCP_SOCKET_VERSION_ERR),
    ROW(APP_SEND_BUFFER_OVERFLOW), ROW(APP_TCP_HOST_NOT_FOUND), ROW(APP_TCP_CONNECT_ERROR),
    ROW(APP_TCP_CONNECTION_BROKEN), ROW(APP_TCP_CONNECTION_CLOSED),
    ROW(APP_TCP_CONNECTION_REFUSED), ROW(APP_TCP_CONNECT_TIME_OUT),
    ROW(APP_TCP_UNREACHABLE_HOST), ROW(APP_TCP_CONNECTION_RESET),
    ROW(APP_TCP_TEMP_RESOLVE_ERROR), ROW(APP_TCP_MULTIPLE_HOSTS),
};
#undef ROW
// clang-format on

bool IsShortName(const char* key) {
    for (const CommandEntry* c = CommandCatalogue; c->shortName != nullptr; ++c)
        if (std::strcmp(c->shortName, key) == 0) return true;
    return false;
}

TEST(ErrorCatalogueShape, RowCountsOrderAndTermination) {
    for (const ErrorEntry* table : {ErrorCatalogueEnglish, ErrorCatalogueSlovak}) {
        int general = 0, specific = 0;
        std::set<std::pair<int32_t, std::string>> seen;
        for (int i = 0; i < kErrorRowCount; ++i) {
            const ErrorEntry& row = table[i];
            ASSERT_TRUE(row.commandKey && row.name && row.text) << "row " << i;
            EXPECT_GT(std::strlen(row.text), 0u) << "row " << i;
            EXPECT_TRUE(seen.insert({row.code, row.commandKey}).second)
                << "duplicate row " << row.code << "/" << row.commandKey;
            if (row.commandKey[0] == '\0') {
                ++general;
                continue;
            }
            ++specific;
            EXPECT_TRUE(IsShortName(row.commandKey)) << row.commandKey;
            // The general row of the code must come first: a plain lookup
            // stops at the first row of the code.
            const ErrorEntry* first = table;
            while (first->code != row.code)
                ++first;
            EXPECT_STREQ(first->commandKey, "") << row.code << "/" << row.commandKey;
            EXPECT_STREQ(first->name, row.name);
        }
        EXPECT_EQ(general, 148);
        EXPECT_EQ(specific, 142);
        const ErrorEntry& end = table[kErrorRowCount];
        EXPECT_TRUE(!end.commandKey && !end.name && !end.text);
    }
}

TEST(ErrorCatalogueShape, LanguagesShareRowsAndDifferInTexts) {
    int sameText = 0;
    for (int i = 0; i < kErrorRowCount; ++i) {
        const ErrorEntry& en = ErrorCatalogueEnglish[i];
        const ErrorEntry& sk = ErrorCatalogueSlovak[i];
        EXPECT_EQ(en.code, sk.code) << "row " << i;
        EXPECT_STREQ(en.commandKey, sk.commandKey) << "row " << i;
        EXPECT_STREQ(en.name, sk.name) << "row " << i;
        if (std::strcmp(en.text, sk.text) == 0) ++sameText;
    }
    // A row copied into the wrong language would show up here.
    EXPECT_EQ(sameText, 0);
}

TEST(ErrorCatalogueShape, EveryHeaderCodeHasItsNameAndBothTexts) {
    EXPECT_EQ(sizeof kHeaderCodes / sizeof kHeaderCodes[0], 148u);
    for (const NamedCode& c : kHeaderCodes) {
        char name[64] = {};
        EXPECT_EQ(FindErrorName(c.code, name, sizeof name),
                  static_cast<int32_t>(std::strlen(c.name)));
        EXPECT_STREQ(name, c.name);
        char unused;
        EXPECT_GT(FindErrorText(LANGUAGE_ENGLISH, c.code, "", &unused, 0), 0) << c.name;
        EXPECT_GT(FindErrorText(LANGUAGE_SLOVAK, c.code, "", &unused, 0), 0) << c.name;
    }
}

TEST(ErrorCatalogueLookup, CommandKeySelectsItsRowElseTheGeneralRow) {
    const std::string general217 = "Incorrect/wrong tax group assignment parameter sent. (e.g. out "
                                   "of range 1 to NumVatRates).";
    EXPECT_EQ(English(EFP_BAD_VAT, "pRISPV"),
              "Parameter vatID is invalid or it is not allowed to register an item in the given "
              "tax level");
    EXPECT_EQ(English(EFP_BAD_VAT, "gC"), "Parameter subsetID is invalid.");
    EXPECT_EQ(English(EFP_BAD_VAT, "cD"), general217);
    EXPECT_EQ(English(EFP_BAD_VAT), general217);
    EXPECT_EQ(English(EFP_BAD_VAT, ""), general217);
    // Keys compare case-sensitively.
    EXPECT_EQ(English(EFP_BAD_VAT, "pRIspv"), general217);
    EXPECT_EQ(English(EFP_BAD_VAT, "PRISPV"), general217);

    EXPECT_EQ(English(EFP_ILLEGAL_COMMAND, "CONNECT"),
              "It is not possible to open a new connection between the FP and the application "
              "because one has already been opened. The current session was closed.");
    EXPECT_EQ(Slovak(EFP_ILLEGAL_COMMAND, "CONNECT"),
              Cp("Nie je možné vytvoriť nové spojenie s FP, pretože spojenie bolo už vytvorené. "
                 "Aktuálne spojenie bolo prerušené."));
    EXPECT_EQ(Slovak(EFP_UNEXPECT_SPEC_REG, "pRI"),
              Cp("Parameter specialRegulation nie je povolený v tomto stave."));
    EXPECT_EQ(Slovak(EFP_UNEXPECT_SPEC_REG),
              Cp("Parameter špeciálnej regulácie nie je povolený v tomto stave (nie je povolený v "
                 "režime faktúry a pre inú ako nezdaniteľnú daňovú hladinu)."));
    // A code whose specific rows are not first in the table.
    EXPECT_EQ(English(E_FAILURE, "pRV"),
              "An error occurred inside the device which does not allow the transaction to be "
              "properly completed. To continue, the application must call the command "
              "resetPrinter and the transaction can be repeated.");
}

TEST(ErrorCatalogueLookup, OnlyLanguage2057IsEnglish) {
    const std::string slovak = Cp("Jeden z finančných parametrov je nesprávny/zlý.");
    EXPECT_EQ(Text(2057, EFP_BAD_AMOUNT), "Incorrect/wrong one of the financial parameters sent.");
    for (int32_t language : {1033, 1051, 0, -2057, 2058})
        EXPECT_EQ(Text(language, EFP_BAD_AMOUNT), slovak) << language;
}

TEST(ErrorCatalogueLookup, UnknownCodeLeavesTheBufferAlone) {
    for (int32_t code : {238, 1, -1, 100}) {
        char buffer[8];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(FindErrorText(LANGUAGE_ENGLISH, code, nullptr, buffer, sizeof buffer),
                  APP_NO_ERROR_TEXT);
        EXPECT_EQ(FindErrorText(LANGUAGE_SLOVAK, code, "pRI", buffer, sizeof buffer),
                  APP_NO_ERROR_TEXT);
        EXPECT_EQ(FindErrorName(code, buffer, sizeof buffer), APP_NO_ERROR_TEXT);
        EXPECT_EQ(std::string(buffer, sizeof buffer), "xxxxxxxx");
        // The missing row is reported before the buffer is looked at.
        EXPECT_EQ(FindErrorText(LANGUAGE_ENGLISH, code, nullptr, nullptr, -1), APP_NO_ERROR_TEXT);
        EXPECT_EQ(FindErrorName(code, nullptr, -1), APP_NO_ERROR_TEXT);
    }
}

TEST(ErrorCatalogueLookup, NamesComeFromTheGeneralRow) {
    char name[32];
    EXPECT_EQ(FindErrorName(EFP_UNEXPECT_SPEC_REG, name, sizeof name), 21);
    EXPECT_STREQ(name, "EFP_UNEXPECT_SPEC_REG");
    EXPECT_EQ(FindErrorName(APP_TCP_MULTIPLE_HOSTS, name, sizeof name), 22);
    EXPECT_STREQ(name, "APP_TCP_MULTIPLE_HOSTS");
    EXPECT_EQ(FindErrorName(EFP_OK, nullptr, 10), APP_NO_OUTPUT_BUFFER);
    EXPECT_EQ(FindErrorName(EFP_OK, name, -1), APP_INVALID_BUFFER_LEN);
}

TEST(ErrorCatalogueBytes, SlovakTextsAreWindows1250) {
    EXPECT_EQ(Slovak(EFP_OK), "OK");
    EXPECT_EQ(English(EFP_OK), "OK.");
    // Literals are split where a hex escape would run into the next letter.
    // clang-format off
    EXPECT_EQ(Slovak(E_NOEXIST), "\x8A" "pecifikovan\xFD objekt alebo \xFA" "daj neexistuje.");
    EXPECT_EQ(Slovak(EFP_NO_CERTIFICATE), "\x8E" "iadny podpisov\xFD certifik\xE1t.");
    EXPECT_EQ(Slovak(EFP_MISSING_IDENTITY_DATA),
              "Ch\xFD" "baj\xFA" "ce identifika\xE8n\xE9 \xFA" "daje podnikate\xBE" "a.");
    EXPECT_EQ(Slovak(EFP_ICM_CHANGED), "ChD\xDA je vymenen\xE9.");
    // No-break space between "s" and the next word, and no full stop.
    EXPECT_EQ(Slovak(APP_DYNAMIC_ONLY_CFG_VALUE),
              "Konfigura\xE8n\xE1 premenn\xE1 m\xF4\x9E" "e by\x9D pou\x9Eit\xE1 len pre akt\xEDvne "
              "spojenie s\xA0" "fi\x9Ak\xE1lnou tla\xE8iar\xF2ou");
    // clang-format on
}

TEST(ErrorCatalogueBytes, EnglishIsAsciiButForOneEnDash) {
    EXPECT_EQ(English(EFP_BAD_AMOUNT, "pRTC"),
              "Parameter change is < (RecGrossTotal \x96 AccPaymentTotal), or change > 0, or "
              "parameters change and total are not multiple of 0.01.");
    int nonAscii = 0;
    for (const ErrorEntry* row = ErrorCatalogueEnglish; row->text; ++row)
        for (const char* p = row->text; *p; ++p)
            if (static_cast<unsigned char>(*p) >= 0x80) ++nonAscii;
    EXPECT_EQ(nonAscii, 1);
    EXPECT_EQ(English(APP_CONNECTION_ERROR),
              "Unknown error occurred on \"connecting\" to fiscal printer.");
}

TEST(ErrorCatalogueBytes, CloudDomainCompletesThe410Texts) {
    EXPECT_EQ(English(EFP_INACTIVE_ON_CLOUD), "FP not active on the " KORVO_CLOUD_DOMAIN " cloud.");
    EXPECT_EQ(English(EFP_INACTIVE_ON_CLOUD, "sCM"),
              "FP is not authorized on the " KORVO_CLOUD_DOMAIN " cloud.");
    EXPECT_EQ(Slovak(EFP_INACTIVE_ON_CLOUD), Cp("FP nie aktívny na cloude ") + KORVO_CLOUD_DOMAIN);
    EXPECT_EQ(Slovak(EFP_INACTIVE_ON_CLOUD, "bFR"),
              Cp("FP nie je autorizovaný na cloude ") + KORVO_CLOUD_DOMAIN +
                  Cp(", je to potrebné v prípade elektronickej podoby dokladu."));
}

} // namespace
} // namespace korvo
