#include "ReceiptRecovery.h"

#include <cstdlib>

#include "Windows1250.h"
#include "korvocomm.h"

namespace korvod {

namespace {

// getTransactionStatus: 1 open, 2 completed, 3 voided.
constexpr const char* kOpen = "1";
constexpr const char* kCompleted = "2";
constexpr const char* kVoided = "3";

Resolution Undecided(int code, const std::string& how) {
    Resolution r;
    r.code = code;
    r.how = how;
    return r;
}

Resolution Decided(Resolution::Kind kind, const std::string& how, std::string info = std::string()) {
    Resolution r;
    r.kind = kind;
    r.how = how;
    r.receiptInfo = std::move(info);
    return r;
}

// The receipt's identity in getLastRegisteredReceiptInfo: creation time and
// monthly number. The registration status may change later for the same
// receipt (sent to the server after being kept offline).
std::string Identity(const std::string& values) {
    std::vector<std::string> f = SplitFields(values);
    return f.size() >= 2 ? f[0] + "\t" + f[1] : values;
}

} // namespace

std::vector<std::string> SplitFields(const std::string& values) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = values.find('\t', start);
        fields.push_back(values.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

Resolution ResolveReceipt(CommandPort& port, const std::string& transactionId,
                          const std::optional<std::string>& witness,
                          const std::function<bool(const std::string&, const std::string&)>& beforeChange) {
    std::string values;
    bool voidSent = false;
    // Voiding takes two commands and one more look; a printer that still says
    // open after that is left to the next try.
    for (int round = 0; round < 3; ++round) {
        int code = port.Send("getTransactionStatus", transactionId, values);
        if (code == E_NOEXIST) {
            std::string last;
            int lastCode = port.Send("getLastRegisteredReceiptInfo", "", last);
            if (lastCode == E_NOEXIST)
                return Decided(Resolution::Kind::NotPrinted, "the printer has registered no receipt");
            if (lastCode != 0) return Undecided(lastCode, "the last registered receipt could not be read");
            if (!witness)
                return Undecided(0, "the printer does not know the transaction and there is no earlier "
                                    "receipt to compare with");
            if (witness->empty() || Identity(last) != Identity(*witness))
                return Decided(Resolution::Kind::Printed,
                               "the printer does not know the transaction; its last registered receipt is new", last);
            return Decided(Resolution::Kind::NotPrinted,
                           "the printer does not know the transaction and registered no receipt since");
        }
        if (code != 0) return Undecided(code, "the transaction status could not be read");
        std::vector<std::string> fields = SplitFields(values);
        std::string status = fields.size() >= 2 ? fields[1] : "";
        if (status == kCompleted) {
            std::string last;
            int lastCode = port.Send("getLastRegisteredReceiptInfo", "", last);
            if (lastCode != 0) return Undecided(lastCode, "the receipt is registered; its data could not be read");
            return Decided(Resolution::Kind::Printed, "the printer reports the transaction completed", last);
        }
        if (status == kVoided)
            return Decided(Resolution::Kind::Voided, voidSent ? "the receipt was still open and has been voided"
                                                              : "the printer reports the transaction voided");
        if (status != kOpen) return Undecided(0, "the printer reports an unknown transaction status " + status);

        // Still open: void it. A receipt that is paid in full can no longer be
        // voided (EFP_WRONG_STATE); the end registers it, and the next look
        // tells which of the two happened.
        if (!beforeChange("printRecVoid", "")) return Undecided(0, "the journal cannot be written");
        voidSent = true;
        code = port.Send("printRecVoid", "", values);
        if (code < 0) return Undecided(code, "the open receipt could not be voided");
        if (!beforeChange("endFiscalReceipt", "0")) return Undecided(0, "the journal cannot be written");
        code = port.Send("endFiscalReceipt", "0", values);
        if (code < 0) return Undecided(code, "the open receipt could not be ended");
    }
    return Undecided(0, "the receipt stays open on the printer");
}

Json ReceiptInfo(const std::string& values) {
    std::vector<std::string> f = SplitFields(FromWindows1250(values));
    f.resize(8);
    Json info = Json::object();
    info["number"] = std::atoll(f[1].c_str());
    info["dateTime"] = f[0];
    info["uid"] = f[3];
    info["okp"] = f[4];
    info["pkp"] = f[5];
    info["registrationStatus"] = std::atoi(f[2].c_str());
    info["eKasaErrorCode"] = std::atoi(f[6].c_str());
    info["eKasaErrorText"] = f[7];
    return info;
}

} // namespace korvod
