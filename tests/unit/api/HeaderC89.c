/* The public header as a strict C89 compiler sees it: every receipt export
 * must be declared with the types an application's function pointers use. */
#include "korvocomm.h"

typedef int(KORVO_CALL* NoArgumentExport)(int);
typedef int(KORVO_CALL* SeparationExport)(int, unsigned char);
typedef int(KORVO_CALL* TextExport)(int, const char*);

NoArgumentExport korvoNoArgumentExports[] = {BeginNonFiscal, BeginTraining, EndTraining};
SeparationExport korvoSeparationExports[] = {EndFiscalReceipt, EndNonFiscal};
TextExport korvoTextExports[] = {PrintNormal};

int korvoHeaderUse(int h) {
    return SaleItemNum(h, 1, "Bread", 1250, 2000, 1, -1, 0, 0, 0, 0, 0) +
           PaymentIdNum(h, 1250, 2000, 1, 0, 0) + PrintRecMessage(h, 1, 0) +
           PackAdjustNum(h, 1, "x", 1, 2, 3, 4, 5, 6, 7, 0, 0) +
           SendTextLogo(h, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0);
}
