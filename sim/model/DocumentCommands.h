// Documents other than receipts (non-fiscal text, X and Z reports, the
// unsent-messages report, duplicates, bar codes), training mode, and the
// printer's peripherals.
#pragma once

#include <cstdint>

#include "sim/model/ModelCore.h"
#include "sim/model/ReceiptCommands.h"
#include "sim/model/RequestLine.h"

namespace korvo::sim {

class DocumentCommands {
public:
    explicit DocumentCommands(ModelCore& core, ReceiptCommands& receipts)
        : core(core), receipts(receipts) {}

    // Commands, by short name.
    int32_t BeginNonFiscal(const RequestLine&);
    int32_t PrintNormal(const RequestLine& r);
    int32_t EndNonFiscal(const RequestLine& r);
    int32_t BeginTraining(const RequestLine&);
    int32_t EndTraining(const RequestLine&);
    int32_t PrintXReport(const RequestLine&);
    int32_t PrintZReport(const RequestLine&);
    int32_t PrintUnsentDataMsgReport(const RequestLine& r);
    int32_t PrintDuplicateReceipt(const RequestLine&);
    int32_t PrintBarCode(const RequestLine& r);
    int32_t CutPaper(const RequestLine&);
    int32_t CancelRest(const RequestLine&);
    int32_t ResetPrinter(const RequestLine&);
    int32_t OpenDrawer(const RequestLine& r);
    int32_t ClearDisplay(const RequestLine& r);
    int32_t DisplayTextAt(const RequestLine& r);
    int32_t SoundImmediate(const RequestLine&);
    int32_t SetBitmap(const RequestLine& r);
    int32_t StoreAllBitmaps(const RequestLine&);
    int32_t SendCloudMessages(const RequestLine&);
    int32_t RegisterUnsentDataMessages(const RequestLine&);

private:
    void PrintTotalsReport(const Totals& t, const char* title);
    void CloseDay();

    ModelCore& core;
    ReceiptCommands& receipts; // a reset ends the open receipt
};

} // namespace korvo::sim
