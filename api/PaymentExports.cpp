// The receipt exports that finish a receipt: the subtotal, the eight payment
// variants and free message lines. Payment identifiers and message types go
// to the printer unchecked; it answers invalid ones with its own codes.
#include "korvocomm.h"

#include "api/ReceiptFormat.h"

using namespace korvo;

namespace {

// The payment command follows the payment's sign as written: a payment that
// begins with "-" is change given back, and that text becomes the change
// field. The Change variants always send the change command.
int32_t Payment(int32_t handle, bool alwaysChange, const char* total, const char* payment,
                const Field& paymentID, const char* preLine, const char* postLine) {
    bool change = alwaysChange || (payment && payment[0] == '-');
    const Field fields[] = {Field::Text(total), Field::Text(payment), paymentID,
                            Field::Text(preLine), Field::Text(postLine)};
    return ReceiptRequest::Send(handle, change ? "printRecTotalChange" : "printRecTotal", true,
                                fields);
}

int32_t Subtotal(int32_t handle, const char* amount, const char* postLine) {
    const Field fields[] = {Field::Text(amount), Field::Text(postLine)};
    return ReceiptRequest::Send(handle, "printRecSubtotal", true, fields);
}

} // namespace

extern "C" {

KORVO_API int KORVO_CALL PrintSubtotalTxt(int handle, const char* amount, const char* postLine) {
    return Subtotal(handle, amount, postLine);
}

KORVO_API int KORVO_CALL PrintSubtotalNum(int handle, int amount, const char* postLine) {
    return Subtotal(handle, Thousandths(amount).text, postLine);
}

KORVO_API int KORVO_CALL PaymentTxt(int handle, const char* total, const char* payment,
                                    const char* paymentID, const char* preLine,
                                    const char* postLine) {
    return Payment(handle, false, total, payment, Field::Text(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PaymentNum(int handle, int total, int payment, const char* paymentID,
                                    const char* preLine, const char* postLine) {
    return Payment(handle, false, Thousandths(total).text, Thousandths(payment).text,
                   Field::Text(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PaymentIdTxt(int handle, const char* total, const char* payment,
                                      int paymentID, const char* preLine, const char* postLine) {
    return Payment(handle, false, total, payment, Field::Number(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PaymentIdNum(int handle, int total, int payment, int paymentID,
                                      const char* preLine, const char* postLine) {
    return Payment(handle, false, Thousandths(total).text, Thousandths(payment).text,
                   Field::Number(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PaymentChangeTxt(int handle, const char* total, const char* change,
                                          const char* paymentID, const char* preLine,
                                          const char* postLine) {
    return Payment(handle, true, total, change, Field::Text(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PaymentChangeNum(int handle, int total, int change, const char* paymentID,
                                          const char* preLine, const char* postLine) {
    return Payment(handle, true, Thousandths(total).text, Thousandths(change).text,
                   Field::Text(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PaymentChangeIdTxt(int handle, const char* total, const char* change,
                                            int paymentID, const char* preLine,
                                            const char* postLine) {
    return Payment(handle, true, total, change, Field::Number(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PaymentChangeIdNum(int handle, int total, int change, int paymentID,
                                            const char* preLine, const char* postLine) {
    return Payment(handle, true, Thousandths(total).text, Thousandths(change).text,
                   Field::Number(paymentID), preLine, postLine);
}

KORVO_API int KORVO_CALL PrintRecMessage(int handle, int messageType, const char* message) {
    const Field fields[] = {Field::Number(messageType), Field::Text(message)};
    return ReceiptRequest::Send(handle, "printRecMessage", true, fields);
}

} // extern "C"
