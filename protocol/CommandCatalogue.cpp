#include "protocol/CommandCatalogue.h"

#include "protocol/TextCompare.h"

namespace korvo {

const CommandEntry CommandCatalogue[kCommandCount + 1] = {
    {"CONNECT", "\tCONNECT", 1000, 1000, nullptr, nullptr},
    {"DISCONNECT", "\tDISCONNECT", 1000, 1000, nullptr, nullptr},
    {"SETSERIALNUM", "SETSERIALNUM", 1000, 1000, "serialNumber", nullptr},
    {"bFR", "beginFiscalReceipt", 30000, 40000, "fiscalReceiptType\tfiscalReceiptSettings\t*transactionID", nullptr},
    {"bNF", "beginNonFiscal", 21500, 24500, nullptr, nullptr},
    {"bT", "beginTraining", 1000, 1000, nullptr, nullptr},
    {"cD", "clearDisplay", 1000, 1000, "row", nullptr},
    {"cP", "cutPaper", 1000, 1000, nullptr, nullptr},
    {"cR", "cancelRest", 1000, 1000, nullptr, nullptr},
    {"dFUR", "deferFirmwareUpdateRequest", 16000, 16000, "deferTime", nullptr},
    {"dTA", "displayTextAt", 1000, 1000, "row\tcolumn\t*data", nullptr},
    {"eFR", "endFiscalReceipt", 85500, 95000, "separation", nullptr},
    {"eNF", "endNonFiscal", 15500, 60000, "separation", nullptr},
    {"eT", "endTraining", 1000, 1000, nullptr, nullptr},
    {"gC", "getCounter", 1000, 1000, "counterType\tsubsetID\tcounterID", "data"},
    {"gD", "getData", 1000, 1000, "dataItem\t*optArg", "data"},
    {"gDT", "getDate", 1000, 1000, "dateType", "dateType\tdate"},
    {"gFUR", "getFirmwareUpdateRequest", 33000, 33000, nullptr, "isUpdateAvailable\tFPVersion\tICMVersion\tisFired"},
    {"gFA", "getFontAttribute", 1000, 1000, "group\toptArg", "group\tfontAttribute"},
    {"gLRLI", "getLastRegisteredLocationInfo", 1000, 1000, nullptr, "createDateTime\ttaxAuthRegistStatus\teKasaErrorCode\teKasaErrorText"},
    {"gLRRI", "getLastRegisteredReceiptInfo", 1000, 1000, nullptr, "rcptCreateDateTime\trcptMonthlyNumber\ttaxAuthRegistStatus\tUID\tOKP\tPKP\teKasaErrorCode\teKasaErrorText"},
    {"gP", "getProperty", 5000, 5000, "propertyID", "propertyID\tdata"},
    {"gT", "getTotalizer", 1000, 1000, "totalizerType\tvatID\ttotalizerID", "data"},
    {"gTS", "getTransactionStatus", 1000, 1000, "*transactionID", "transactionID\ttransactionStatus"},
    {"gVE", "getVatEntry", 1000, 1000, "vatID", "vatID\tvatFlag\tvatRate"},
    {"oD", "openDrawer", 1000, 1000, "*drawer", nullptr},
    {"oP", "obtainProgress", 1000, 1000, nullptr, "progress"},
    {"pBC", "printBarCode", 3500, 1000, "data\tsymbology\theight\twidth\talignment\ttextPosition", nullptr},
    {"pDR", "printDuplicateReceipt", 62500, 240000, nullptr, nullptr},
    {"pN", "printNormal", 2500, 3500, "data", nullptr},
    {"pRAPD", "printRecAdvancePaymentDeduct", 17500, 21500, "description\tamount\tvatID\tspecialRegulation\tpreLine\tpostLine", nullptr},
    {"pRC", "printRecCash", 17500, 8500, "amount\t*paymentID", nullptr},
    {"pRI", "printRecItem", 17500, 21500, "description\tprice\tquantity\tvatID\tspecialRegulation\t*unitPrice\t*unitName\trefReceiptID\t*preLine\t*postLine", nullptr},
    {"pRIC", "printRecItemCorrection", 17500, 21500, "description\tprice\tquantity\tvatID\tspecialRegulation\t*unitPrice\t*unitName\trefReceiptID\t*preLine\t*postLine", nullptr},
    {"pRIR", "printRecItemRefund", 17500, 21500, "description\tprice\tquantity\tvatID\tspecialRegulation\t*unitPrice\t*unitName\trefReceiptID\t*preLine\t*postLine", nullptr},
    {"pRIRC", "printRecItemRefundCorrection", 17500, 21500, "description\tprice\tquantity\tvatID\tspecialRegulation\t*unitPrice\t*unitName\trefReceiptID\t*preLine\t*postLine", nullptr},
    {"pRIA", "printRecItemAdjustment", 17500, 21500, "adjustmentType\tdescription\tamount\tvatID\tspecialRegulation\t*preLine\t*postLine", nullptr},
    {"pRM", "printRecMessage", 17500, 21500, "messageType\t*message", nullptr},
    {"pRPA", "printRecPackageAdjustment", 18500, 23500, "adjustmentType\tdescription\tvatAdjustment\t*preLine\t*postLine", nullptr},
    {"pRISPV", "printRecItemSinglePurposeVoucher", 17500, 21500, "amount\tvatID\tvoucherID\tspecialRegulation\t*preLine\t*postLine", nullptr},
    {"pRS", "printRecSubtotal", 20500, 25000, "amount\t*postLine", nullptr},
    {"pRT", "printRecTotal", 19500, 69000, "total\tpayment\tpaymentID\t*preLine\t*postLine", nullptr},
    {"pRTC", "printRecTotalChange", 19500, 69000, "total\tchange\tpaymentID\t*preLine\t*postLine", nullptr},
    {"pRV", "printRecVoid", 19500, 69000, "*description", nullptr},
    {"pUDMR", "printUnsentDataMsgReport", 15500, 15500, "intervalType\tprintoutType\tstartInterval\tendInterval", nullptr},
    {"pXR", "printXReport", 20000, 70000, nullptr, nullptr},
    {"pZR", "printZReport", 20000, 70000, nullptr, nullptr},
    {"rL", "registerLocation", 65500, 75000, "locationType\taddrStreetName\taddrBuildingNumber\taddrPropertyRegNumber\taddrMunicipality\taddrPostalCode\totherDescription", nullptr},
    {"rP", "resetPrinter", 18000, 61000, nullptr, nullptr},
    {"sB", "setBitmap", 10000, 10000, "counterID\tlineNumber\tdata", nullptr},
    {"sCEA", "setCustomerEmailAddress", 1000, 1000, "custEmailAddr", nullptr},
    {"sCM", "sendCloudMessages", 1000, 1000, nullptr, nullptr},
    {"sD", "setDate", 1000, 1000, "date", nullptr},
    {"sFM", "setFiscalMode", 25000, 65000, nullptr, nullptr},
    {"sFA", "setFontAttribute", 1000, 1000, "group\toptArg\tfontAttribute", nullptr},
    {"sHL", "setHeaderLines", 1000, 1000, "*line1\t*line2\t*line3\t*line4\t*line5\t*line6\t*line7\t*line8\t*line9", nullptr},
    {"sTL", "setTrailerLines", 1000, 1000, "*line1\t*line2\t*line3\t*line4\t*line5\t*line6\t*line7\t*line8\t*line9", nullptr},
    {"gHL", "getHeaderLine", 1000, 1000, "lineNum", "line"},
    {"gTL", "getTrailerLine", 1000, 1000, "lineNum", "line"},
    {"sPT", "setPaymentType", 1000, 1000, "paymentID\tpaymentName", nullptr},
    {"gPE", "getPaymentEntry", 1000, 1000, "paymentID", nullptr},
    {"sPE", "setPaymentEntry", 1000, 1000, "paymentID\tpaymentName\tpaymentType", nullptr},
    {"sPI", "setPOSID", 1000, 1000, "*POSID\t*cashierID", nullptr},
    {"sP", "setProperty", 1000, 1000, "propertyID\tdata", nullptr},
    {"sI", "soundImmediate", 1000, 1000, nullptr, nullptr},
    {"sAB", "storeAllBitmaps", 96000, 1000, nullptr, nullptr},
    {"gIR", "getInspectionRequest", 1000, 1000, "inspectionRequestType", "inspectionRequestID\tmonitoredValue\tlimitValue\tdescription\tmessage\tisFired"},
    {"aIR", "affirmInspectionRequest", 1000, 1000, "inspectionRequestID", nullptr},
    {"rIR", "resetInspectionRequest", 1000, 1000, "inspectionRequestID\tlimitValue", nullptr},
    {"gNLR", "getNextLogRecord", 1000, 1000, "recordID", "nextRecordID\trecordData\tdateTime\ttickCount"},
    {"sC", "setCustomer", 1000, 1000, "custIDType\tcustID", nullptr},
    {"sPA", "setParagon", 1000, 1000, "parNum\tparDate", nullptr},
    {"rUDM", "registerUnsentDataMessages", 1000, 1000, nullptr, nullptr},
    {"uF", "updateFirmware", 33000, 33000, nullptr, nullptr, true},
    {"gLD", "getLicenceData", 1000, 1000, "licenceID", "licenceID\tlicenceName\tstartDate\tendDate\tstateOnCloud\tisActive"},
    {nullptr, nullptr, 0, 0, nullptr, nullptr},
};

int32_t FindCommand(const char* name) {
    if (!name || !*name) return -1;
    for (int32_t i = 0; CommandCatalogue[i].longName; ++i) {
        const CommandEntry& e = CommandCatalogue[i];
        if (EqualsIgnoreCase(e.longName, name)) return i;
        if (e.longName[0] != '\t' && EqualsIgnoreCase(e.shortName, name)) return i;
    }
    return -1;
}

} // namespace korvo
