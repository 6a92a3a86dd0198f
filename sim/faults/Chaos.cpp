#include "sim/faults/Chaos.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace korvo::sim {

namespace {

// A percentage from 0 to 100 as a probability.
bool ParsePercent(const char* begin, const char* end, double& value) {
    if (begin == end || end - begin > 12) return false;
    char text[16];
    std::memcpy(text, begin, static_cast<size_t>(end - begin));
    text[end - begin] = 0;
    for (const char* p = text; *p; ++p)
        if ((*p < '0' || *p > '9') && *p != '.') return false;
    char* stop = nullptr;
    double percent = std::strtod(text, &stop);
    if (*stop || !(percent >= 0 && percent <= 100)) return false;
    value = percent / 100;
    return true;
}

} // namespace

bool ParseChaos(const char* text, ChaosSettings& settings) {
    if (!text) return false;
    const char* colon = std::strchr(text, ':');
    if (!colon || colon == text) return false;
    uint64_t seed = 0;
    for (const char* p = text; p != colon; ++p) {
        if (*p < '0' || *p > '9') return false;
        const uint64_t digit = static_cast<uint64_t>(*p - '0');
        if (seed > (UINT64_MAX - digit) / 10) return false;
        seed = seed * 10 + digit;
    }
    double rates[4] = {};
    int given = 0;
    const char* p = colon + 1;
    for (;;) {
        const char* end = std::strchr(p, ':');
        if (!end) end = p + std::strlen(p);
        if (given == 4 || !ParsePercent(p, end, rates[given])) return false;
        ++given;
        if (!*end) break;
        p = end + 1;
    }
    ChaosSettings s;
    s.seed = seed;
    s.corrupt = rates[0];
    s.lose = given > 1 ? rates[1] : rates[0] / 2;
    s.delay = given > 2 ? rates[2] : rates[0] / 4;
    s.repeat = given > 3 ? rates[3] : rates[0] / 4;
    if (s.corrupt + s.lose + s.delay + s.repeat > 1) return false;
    settings = s;
    return true;
}

std::string DescribeChaos(const ChaosSettings& s) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "seed %llu: %g%% corrupted, %g%% lost, %g%% delayed, %g%% repeated",
                  static_cast<unsigned long long>(s.seed), s.corrupt * 100, s.lose * 100,
                  s.delay * 100, s.repeat * 100);
    return text;
}

Chaos::Chaos(const ChaosSettings& s, uint64_t stream)
    : settings(s), state(s.seed * 0x9E3779B97F4A7C15ull ^ (stream + 1) * 0xD1B54A32D192ED03ull) {}

// splitmix64: the same numbers on every system and compiler.
uint64_t Chaos::NextBits() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t Chaos::Below(uint32_t n) {
    return n ? static_cast<uint32_t>(NextBits() % n) : 0;
}

ChaosEvent Chaos::Next() {
    if (!Enabled()) return ChaosEvent::None;
    // 53 bits of the draw as a number from 0 to 1.
    double x = static_cast<double>(NextBits() >> 11) / 9007199254740992.0;
    if ((x -= settings.corrupt) < 0) return ChaosEvent::Corrupt;
    if ((x -= settings.lose) < 0) return ChaosEvent::Lose;
    if ((x -= settings.delay) < 0) return ChaosEvent::Delay;
    if ((x -= settings.repeat) < 0) return ChaosEvent::Repeat;
    return ChaosEvent::None;
}

} // namespace korvo::sim
