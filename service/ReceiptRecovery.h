// Where a receipt stands after its exchange failed: registered, voided or
// never printed. The printer itself is asked, by the receipt's transaction
// id (getTransactionStatus); a receipt still open is voided. When the printer
// does not know the transaction (it restarted and lost its list, say), its
// last registered receipt (getLastRegisteredReceiptInfo) is compared with the
// one read before the receipt began: a new one there is this receipt, since
// korvod alone prints on its printers.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "ExactJson.h"

namespace korvod {

// A printer connection for the recovery: Send as PrinterLink::Send.
class CommandPort {
public:
    virtual ~CommandPort() = default;
    virtual int Send(const std::string& command, const std::string& parameters, std::string& values) = 0;
};

struct Resolution {
    enum class Kind { Undecided, Printed, Voided, NotPrinted };
    Kind kind = Kind::Undecided;
    std::string receiptInfo; // getLastRegisteredReceiptInfo values, when printed
    std::string how;         // what decided it, for the log and the task
    int code = 0;            // the code that left it undecided
};

// beforeChange is called before a command that changes the printer (voiding)
// is sent, for the journal; when it returns false the command is not sent.
// witness: the last registered receipt before the opening; "" when the
// printer had none; nullopt when it was not read.
Resolution ResolveReceipt(CommandPort& port, const std::string& transactionId,
                          const std::optional<std::string>& witness,
                          const std::function<bool(const std::string&, const std::string&)>& beforeChange);

// The values of getLastRegisteredReceiptInfo as the API shows them.
Json ReceiptInfo(const std::string& values);

// Splits TAB-separated values.
std::vector<std::string> SplitFields(const std::string& values);

} // namespace korvod
