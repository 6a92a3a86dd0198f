/*
 * A small application of korvocomm: connects to a printer over TCP, asks it a
 * few questions, prints the answers and the error texts, and disconnects.
 *
 *   simple_client HOST[:PORT]
 */
#include <stdio.h>
#include <string.h>

#include "korvocomm.h"

/* Sends one command and prints its result code, its values and, for a
 * failure, the error's name and English text. */
static int Run(int handle, const char* command, const char* parameters) {
    char values[2500];
    char name[64];
    char text[512];
    int result = SendCommand(handle, command, parameters);

    printf("%s -> %d", command, result);
    if (GetLastCommandResponse(handle, values, (int)sizeof values) > 0) printf(" [%s]", values);
    printf("\n");
    if (result != 0) {
        GetErrorName(result, name, (int)sizeof name);
        GetErrorText(handle, LANGUAGE_ENGLISH, result, text, (int)sizeof text);
        printf("   %s: %s\n", name, text);
    }
    return result;
}

int main(int argc, char** argv) {
    char text[512];
    int handle;
    int result;

    if (argc != 2) {
        fprintf(stderr, "usage: %s HOST[:PORT]\n", argv[0]);
        return 2;
    }

    handle = ConnectTCP(argv[1]);
    if (handle == 0) {
        int error = GetLastComError(0);
        GetErrorText(0, LANGUAGE_ENGLISH, error, text, (int)sizeof text);
        printf("connect failed: %d %s\n", error, text);
        return 1;
    }
    printf("connected, handle %d\n", handle);

    Run(handle, "getDate", "1");
    Run(handle, "getVatEntry", "1");
    Run(handle, "getLastRegisteredReceiptInfo", NULL);
    /* No receipt is open, so the printer refuses an item. */
    Run(handle, "printRecItem", "Coffee\t2.50\t1\t1\t\t\t\t\t\t");

    result = Disconnect(handle);
    printf("disconnect -> %d\n", result);
    return result == 0 ? 0 : 1;
}
