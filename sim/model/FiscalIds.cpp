#include "sim/model/FiscalIds.h"

namespace korvo::sim {

namespace {

uint64_t Next(uint64_t& state) {
    uint64_t z = (state += UINT64_C(0x9E3779B97F4A7C15));
    z = (z ^ (z >> 30)) * UINT64_C(0xBF58476D1CE4E5B9);
    z = (z ^ (z >> 27)) * UINT64_C(0x94D049BB133111EB);
    return z ^ (z >> 31);
}

void Hex(uint64_t& state, int digits, const char* alphabet, char* out) {
    for (int i = 0; i < digits; ++i)
        out[i] = alphabet[Next(state) & 15];
}

} // namespace

uint64_t MixSeed(uint64_t seed, uint64_t value) {
    uint64_t state = seed ^ value;
    return Next(state);
}

void MakeFiscalIds(uint64_t seed, bool registeredOnline, FiscalIds& ids) {
    static const char upper[] = "0123456789ABCDEF";
    static const char lower[] = "0123456789abcdef";
    static const char base64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    uint64_t state = seed;

    ids.uid[0] = 0;
    if (registeredOnline) {
        ids.uid[0] = 'O';
        ids.uid[1] = '-';
        Hex(state, 32, upper, ids.uid + 2);
        ids.uid[34] = 0;
    }

    char* p = ids.okp;
    for (int group = 0; group < 5; ++group) {
        if (group) *p++ = '-';
        Hex(state, 8, lower, p);
        p += 8;
    }
    *p = 0;

    // 256 bytes: 85 groups of three and one byte left, so two '=' at the end.
    p = ids.pkp;
    for (int group = 0; group < 85; ++group) {
        uint64_t bits = Next(state) & 0xFFFFFF;
        for (int shift = 18; shift >= 0; shift -= 6)
            *p++ = base64[(bits >> shift) & 63];
    }
    uint64_t last = Next(state) & 0xFF;
    *p++ = base64[last >> 2];
    *p++ = base64[(last & 3) << 4];
    *p++ = '=';
    *p++ = '=';
    *p = 0;
}

} // namespace korvo::sim
