// korvocomm's exports as a table of function pointers, so that one test can
// call them linked into the program or loaded from korvocomm.dll by name or
// by ordinal.
#pragma once

#include "korvocomm.h"

// Every export, in the order of its ordinal.
#define KORVO_FOR_EACH_EXPORT(X)                                                                   \
    X(ConnectUSB)                                                                                  \
    X(ConnectRS232)                                                                                \
    X(ConnectTCP)                                                                                  \
    X(Disconnect)                                                                                  \
    X(GetLastComError)                                                                             \
    X(SetConfigValue)                                                                              \
    X(GetConfigValue)                                                                              \
    X(SendCommand)                                                                                 \
    X(GetLastCommandResponse)                                                                      \
    X(GetLastCommandName)                                                                          \
    X(GetCommandReqestHead)                                                                        \
    X(GetCommandResponseHead)                                                                      \
    X(GetErrorText)                                                                                \
    X(GetCommandErrorText)                                                                         \
    X(GetErrorName)                                                                                \
    X(Abort)                                                                                       \
    X(SendTextLogo)                                                                                \
    X(BeginReceipt)                                                                                \
    X(EndFiscalReceipt)                                                                            \
    X(BeginNonFiscal)                                                                              \
    X(EndNonFiscal)                                                                                \
    X(BeginTraining)                                                                               \
    X(EndTraining)                                                                                 \
    X(SaleItemTxt)                                                                                 \
    X(SaleItemNum)                                                                                 \
    X(ItemAdjustTxt)                                                                               \
    X(ItemAdjustNum)                                                                               \
    X(PackAdjustTxt)                                                                               \
    X(PackAdjustNum)                                                                               \
    X(PrintSubtotalTxt)                                                                            \
    X(PrintSubtotalNum)                                                                            \
    X(PaymentTxt)                                                                                  \
    X(PaymentNum)                                                                                  \
    X(PrintRecMessage)                                                                             \
    X(PrintNormal)                                                                                 \
    X(SinglePurposeVoucherTxt)                                                                     \
    X(SinglePurposeVoucherNum)                                                                     \
    X(PaymentChangeTxt)                                                                            \
    X(PaymentChangeNum)                                                                            \
    X(PaymentIdTxt)                                                                                \
    X(PaymentIdNum)                                                                                \
    X(PaymentChangeIdTxt)                                                                          \
    X(PaymentChangeIdNum)

namespace korvo::test {

struct ExportTable {
#define KORVO_EXPORT_FIELD(name) decltype(&::name) name = nullptr;
    KORVO_FOR_EACH_EXPORT(KORVO_EXPORT_FIELD)
#undef KORVO_EXPORT_FIELD
};

// The exports linked into this program.
const ExportTable& LinkedExports();

} // namespace korvo::test
