// Random faults for soak runs: every frame or line that passes a front end is
// corrupted, lost, delayed or repeated with a given probability, decided by a
// generator seeded from the command line, so that a run can be told again
// with the same seed (the timing of the peer still varies).
#pragma once

#include <cstdint>
#include <string>

namespace korvo::sim {

struct ChaosSettings {
    uint64_t seed = 0;
    // Probabilities, 0 to 1, each per frame or line and direction.
    double corrupt = 0;
    double lose = 0;
    double delay = 0;
    double repeat = 0;
    bool Enabled() const { return corrupt > 0 || lose > 0 || delay > 0 || repeat > 0; }
};

// "SEED:RATE[:LOST[:DELAYED[:REPEATED]]]", rates in percent (decimals
// allowed): RATE % corrupted, and unless given, RATE/2 % lost, RATE/4 %
// delayed and RATE/4 % repeated. False for anything else.
bool ParseChaos(const char* text, ChaosSettings& settings);
// "seed 7: 5% corrupted, 2% lost, 1% delayed, 1% repeated"
std::string DescribeChaos(const ChaosSettings& settings);

enum class ChaosEvent { None, Corrupt, Lose, Delay, Repeat };

// One generator per front end and direction; stream tells them apart, so
// that each draws the same sequence for the same seed.
class Chaos {
public:
    Chaos() = default;
    Chaos(const ChaosSettings& settings, uint64_t stream);

    bool Enabled() const { return settings.Enabled(); }
    // What happens to the next frame or line.
    ChaosEvent Next();
    // A number from 0 to n - 1 (n > 0).
    uint32_t Below(uint32_t n);
    // A number from low to high.
    uint32_t Between(uint32_t low, uint32_t high) { return low + Below(high - low + 1); }

private:
    uint64_t NextBits();

    ChaosSettings settings;
    uint64_t state = 0;
};

} // namespace korvo::sim
