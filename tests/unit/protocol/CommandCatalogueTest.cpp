#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "protocol/CommandCatalogue.h"

namespace korvo {
namespace {

// One row per command: short|long|time|second time|request head|response head,
// "~" for the leading TAB of the handshake names, "," between head fields,
// "-" for an absent head.
const char* const kExpected[] = {
        "CONNECT|~CONNECT|1000|1000|-|-",
        "DISCONNECT|~DISCONNECT|1000|1000|-|-",
        "SETSERIALNUM|SETSERIALNUM|1000|1000|serialNumber|-",
        "bFR|beginFiscalReceipt|30000|40000|fiscalReceiptType,fiscalReceiptSettings,*transactionID|-",
        "bNF|beginNonFiscal|21500|24500|-|-",
        "bT|beginTraining|1000|1000|-|-",
        "cD|clearDisplay|1000|1000|row|-",
        "cP|cutPaper|1000|1000|-|-",
        "cR|cancelRest|1000|1000|-|-",
        "dFUR|deferFirmwareUpdateRequest|16000|16000|deferTime|-",
        "dTA|displayTextAt|1000|1000|row,column,*data|-",
        "eFR|endFiscalReceipt|85500|95000|separation|-",
        "eNF|endNonFiscal|15500|60000|separation|-",
        "eT|endTraining|1000|1000|-|-",
        "gC|getCounter|1000|1000|counterType,subsetID,counterID|data",
        "gD|getData|1000|1000|dataItem,*optArg|data",
        "gDT|getDate|1000|1000|dateType|dateType,date",
        "gFUR|getFirmwareUpdateRequest|33000|33000|-|isUpdateAvailable,FPVersion,ICMVersion,isFired",
        "gFA|getFontAttribute|1000|1000|group,optArg|group,fontAttribute",
        "gLRLI|getLastRegisteredLocationInfo|1000|1000|-|createDateTime,taxAuthRegistStatus,eKasaErrorCode,eKasaErrorText",
        "gLRRI|getLastRegisteredReceiptInfo|1000|1000|-|rcptCreateDateTime,rcptMonthlyNumber,taxAuthRegistStatus,UID,OKP,PKP,eKasaErrorCode,eKasaErrorText",
        "gP|getProperty|5000|5000|propertyID|propertyID,data",
        "gT|getTotalizer|1000|1000|totalizerType,vatID,totalizerID|data",
        "gTS|getTransactionStatus|1000|1000|*transactionID|transactionID,transactionStatus",
        "gVE|getVatEntry|1000|1000|vatID|vatID,vatFlag,vatRate",
        "oD|openDrawer|1000|1000|*drawer|-",
        "oP|obtainProgress|1000|1000|-|progress",
        "pBC|printBarCode|3500|1000|data,symbology,height,width,alignment,textPosition|-",
        "pDR|printDuplicateReceipt|62500|240000|-|-",
        "pN|printNormal|2500|3500|data|-",
        "pRAPD|printRecAdvancePaymentDeduct|17500|21500|description,amount,vatID,specialRegulation,preLine,postLine|-",
        "pRC|printRecCash|17500|8500|amount,*paymentID|-",
        "pRI|printRecItem|17500|21500|description,price,quantity,vatID,specialRegulation,*unitPrice,*unitName,refReceiptID,*preLine,*postLine|-",
        "pRIC|printRecItemCorrection|17500|21500|description,price,quantity,vatID,specialRegulation,*unitPrice,*unitName,refReceiptID,*preLine,*postLine|-",
        "pRIR|printRecItemRefund|17500|21500|description,price,quantity,vatID,specialRegulation,*unitPrice,*unitName,refReceiptID,*preLine,*postLine|-",
        "pRIRC|printRecItemRefundCorrection|17500|21500|description,price,quantity,vatID,specialRegulation,*unitPrice,*unitName,refReceiptID,*preLine,*postLine|-",
        "pRIA|printRecItemAdjustment|17500|21500|adjustmentType,description,amount,vatID,specialRegulation,*preLine,*postLine|-",
        "pRM|printRecMessage|17500|21500|messageType,*message|-",
        "pRPA|printRecPackageAdjustment|18500|23500|adjustmentType,description,vatAdjustment,*preLine,*postLine|-",
        "pRISPV|printRecItemSinglePurposeVoucher|17500|21500|amount,vatID,voucherID,specialRegulation,*preLine,*postLine|-",
        "pRS|printRecSubtotal|20500|25000|amount,*postLine|-",
        "pRT|printRecTotal|19500|69000|total,payment,paymentID,*preLine,*postLine|-",
        "pRTC|printRecTotalChange|19500|69000|total,change,paymentID,*preLine,*postLine|-",
        "pRV|printRecVoid|19500|69000|*description|-",
        "pUDMR|printUnsentDataMsgReport|15500|15500|intervalType,printoutType,startInterval,endInterval|-",
        "pXR|printXReport|20000|70000|-|-",
        "pZR|printZReport|20000|70000|-|-",
        "rL|registerLocation|65500|75000|locationType,addrStreetName,addrBuildingNumber,addrPropertyRegNumber,addrMunicipality,addrPostalCode,otherDescription|-",
        "rP|resetPrinter|18000|61000|-|-",
        "sB|setBitmap|10000|10000|counterID,lineNumber,data|-",
        "sCEA|setCustomerEmailAddress|1000|1000|custEmailAddr|-",
        "sCM|sendCloudMessages|1000|1000|-|-",
        "sD|setDate|1000|1000|date|-",
        "sFM|setFiscalMode|25000|65000|-|-",
        "sFA|setFontAttribute|1000|1000|group,optArg,fontAttribute|-",
        "sHL|setHeaderLines|1000|1000|*line1,*line2,*line3,*line4,*line5,*line6,*line7,*line8,*line9|-",
        "sTL|setTrailerLines|1000|1000|*line1,*line2,*line3,*line4,*line5,*line6,*line7,*line8,*line9|-",
        "gHL|getHeaderLine|1000|1000|lineNum|line",
        "gTL|getTrailerLine|1000|1000|lineNum|line",
        "sPT|setPaymentType|1000|1000|paymentID,paymentName|-",
        "gPE|getPaymentEntry|1000|1000|paymentID|-",
        "sPE|setPaymentEntry|1000|1000|paymentID,paymentName,paymentType|-",
        "sPI|setPOSID|1000|1000|*POSID,*cashierID|-",
        "sP|setProperty|1000|1000|propertyID,data|-",
        "sI|soundImmediate|1000|1000|-|-",
        "sAB|storeAllBitmaps|96000|1000|-|-",
        "gIR|getInspectionRequest|1000|1000|inspectionRequestType|inspectionRequestID,monitoredValue,limitValue,description,message,isFired",
        "aIR|affirmInspectionRequest|1000|1000|inspectionRequestID|-",
        "rIR|resetInspectionRequest|1000|1000|inspectionRequestID,limitValue|-",
        "gNLR|getNextLogRecord|1000|1000|recordID|nextRecordID,recordData,dateTime,tickCount",
        "sC|setCustomer|1000|1000|custIDType,custID|-",
        "sPA|setParagon|1000|1000|parNum,parDate|-",
        "rUDM|registerUnsentDataMessages|1000|1000|-|-",
        "uF|updateFirmware|33000|33000|-|-",
        "gLD|getLicenceData|1000|1000|licenceID|licenceID,licenceName,startDate,endDate,stateOnCloud,isActive",
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

std::string Head(const char* head) {
    if (!head) return "-";
    std::string s(head);
    for (char& c : s)
        if (c == '\t') c = ',';
    return s;
}

TEST(CommandCatalogue, EveryRowMatchesTheTable) {
    ASSERT_EQ(sizeof kExpected / sizeof kExpected[0], static_cast<size_t>(kCommandCount));
    for (int i = 0; i < kCommandCount; ++i) {
        SCOPED_TRACE(kExpected[i]);
        std::vector<std::string> f = Split(kExpected[i], '|');
        ASSERT_EQ(f.size(), 6u);
        const CommandEntry& e = CommandCatalogue[i];
        std::string longName = f[1][0] == '~' ? "\t" + f[1].substr(1) : f[1];
        EXPECT_STREQ(e.shortName, f[0].c_str());
        EXPECT_EQ(longName, e.longName);
        EXPECT_EQ(e.responseTime, std::stoi(f[2]));
        EXPECT_EQ(e.secondResponseTime, std::stoi(f[3]));
        EXPECT_EQ(Head(e.requestHead), f[4]);
        EXPECT_EQ(Head(e.responseHead), f[5]);
        EXPECT_EQ(e.restartsPrinter, f[0] == "uF");
    }
    EXPECT_EQ(CommandCatalogue[kCommandCount].shortName, nullptr);
    EXPECT_EQ(CommandCatalogue[kCommandCount].longName, nullptr);
}

TEST(CommandCatalogue, ShortNamesAreUniqueAndNeverAnotherLongName) {
    for (int i = 0; i < kCommandCount; ++i)
        for (int j = 0; j < kCommandCount; ++j) {
            if (i == j) continue;
            EXPECT_STRCASENE(CommandCatalogue[i].shortName, CommandCatalogue[j].shortName);
            EXPECT_STRCASENE(CommandCatalogue[i].shortName, CommandCatalogue[j].longName);
        }
}

TEST(FindCommand, NamesInAnyLetterCase) {
    EXPECT_EQ(FindCommand("bFR"), 3);
    EXPECT_EQ(FindCommand("bfr"), 3);
    EXPECT_EQ(FindCommand("BFR"), 3);
    EXPECT_EQ(FindCommand("beginFiscalReceipt"), 3);
    EXPECT_EQ(FindCommand("BeginFiscalReceipt"), 3);
    EXPECT_EQ(FindCommand("BEGINFISCALRECEIPT"), 3);
    EXPECT_EQ(FindCommand("SETSERIALNUM"), 2);
    EXPECT_EQ(FindCommand("setserialnum"), 2);
    EXPECT_EQ(FindCommand("gLD"), 74);
    EXPECT_EQ(FindCommand("updateFirmware"), 73);
}

TEST(FindCommand, RefusesNearMissesAndEmptyNames) {
    EXPECT_EQ(FindCommand("bFR "), -1);
    EXPECT_EQ(FindCommand("beginFiscalReceipt "), -1);
    EXPECT_EQ(FindCommand(" bFR"), -1);
    EXPECT_EQ(FindCommand("bF"), -1);
    EXPECT_EQ(FindCommand(""), -1);
    EXPECT_EQ(FindCommand(nullptr), -1);
}

TEST(FindCommand, HandshakeOnlyUnderItsTabName) {
    EXPECT_EQ(FindCommand("CONNECT"), -1);
    EXPECT_EQ(FindCommand("DISCONNECT"), -1);
    EXPECT_EQ(FindCommand("connect"), -1);
    EXPECT_EQ(FindCommand("\tCONNECT"), 0);
    EXPECT_EQ(FindCommand("\tDISCONNECT"), 1);
    EXPECT_EQ(FindCommand("\tconnect"), 0);
}

} // namespace
} // namespace korvo
