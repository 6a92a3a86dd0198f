// The identifiers a registered receipt carries: the unique identifier the
// tax authority's server assigns (UID, online registration only), the
// cash register's control code (OKP) and its signature code (PKP).
#pragma once

#include <cstdint>

namespace korvo::sim {

struct FiscalIds {
    char uid[40];  // "O-" and 32 upper-case hex digits, or empty
    char okp[48];  // five groups of 8 lower-case hex digits joined by '-'
    char pkp[352]; // base64 of a 256-byte signature (344 characters)
};

// Derives plausible identifiers from seed; the same seed gives the same ids.
void MakeFiscalIds(uint64_t seed, bool registeredOnline, FiscalIds& ids);

// Mixes a value into a running seed (for seeds made of receipt data).
uint64_t MixSeed(uint64_t seed, uint64_t value);

} // namespace korvo::sim
