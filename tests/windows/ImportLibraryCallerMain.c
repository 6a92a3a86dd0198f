#include "korvocomm.h"

int KORVO_CALL ImportLibraryCaller(void* unused);

int main(void) {
    return ImportLibraryCaller(0);
}
