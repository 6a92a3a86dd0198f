/* korvocomm called through an import library, the way an application built
 * against korvocomm.h calls it: the x86 symbols are the __stdcall ones
 * (_SaleItemNum@48) that the import library must map to the DLL's plain
 * names. Uses no C runtime, so that the MSVC-style link can do without one.
 * Returns 0 when every call answered as expected, else the failing step. */
#include "korvocomm.h"

static int Same(const char* a, const char* b) {
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

int KORVO_CALL ImportLibraryCaller(void* unused) {
    char text[32];
    int i;
    (void)unused;
    /* A thousand rounds: a caller and a callee that disagree about who takes
     * the arguments off the stack would have wrecked it by now. */
    for (i = 0; i < 1000; ++i) {
        if (GetErrorName(APP_INVALID_HANDLE, text, sizeof text) != 18) return 1;
        if (!Same(text, "APP_INVALID_HANDLE")) return 2;
        if (SaleItemNum(0, 1, "Bread", 1250, 1000, 1, -1, 0, 0, 0, 0, 0) != APP_INVALID_HANDLE)
            return 3;
        if (GetLastComError(0) != APP_INVALID_HANDLE) return 4;
        if (PackAdjustTxt(-1, 1, "x", "1", 0, 0, 0, 0, 0, 0, 0, 0) != APP_INVALID_HANDLE) return 5;
        if (Disconnect(7) != APP_INVALID_HANDLE) return 6;
        if (GetCommandReqestHead("beginNonFiscal", 0, 0) != 0) return 7;
    }
    return 0;
}
