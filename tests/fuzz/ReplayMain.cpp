// Runs a fuzz target without libFuzzer: every seed input of a folder, then a
// fixed series of variations of them (bytes changed, inserted, removed,
// repeated, inputs cut and spliced). The series depends only on the seeds,
// so a failure comes back on every run. The input being run is written to
// NAME.last-input in the working folder first: after a crash it is the one
// that crashed, ready for the libFuzzer build or a debugger.
//
//   replay SEED_FOLDER [VARIATIONS]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzTarget.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kMaxInput = 16384;

class Random {
public:
    uint32_t Below(uint32_t n) { return n ? static_cast<uint32_t>(Next() % n) : 0; }
    uint8_t Byte() {
        // Bytes that mean something to the parsers under test come up often.
        static const uint8_t kSpecial[] = {0x00, 0xFF, '\t', '\n', '\r', 0xAA, 0x7E, ':', '=',
                                           '.',  '-',  '[',  ']',  '0',  '9',  ' ', 0x80};
        if (Below(2)) return kSpecial[Below(sizeof kSpecial)];
        return static_cast<uint8_t>(Next());
    }

private:
    uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    uint64_t state = 0x9E3779B97F4A7C15ull;
};

std::string ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Mutate(std::string& input, const std::vector<std::string>& seeds, Random& random) {
    size_t at = input.empty() ? 0 : random.Below(static_cast<uint32_t>(input.size()));
    size_t span = 1 + random.Below(16);
    switch (random.Below(8)) {
    case 0: // flip one bit
        if (!input.empty()) input[at] = static_cast<char>(input[at] ^ (1u << random.Below(8)));
        break;
    case 1: // change a byte
        if (!input.empty()) input[at] = static_cast<char>(random.Byte());
        break;
    case 2: // insert bytes
        for (size_t i = 0; i < span; ++i) input.insert(input.begin() + at, static_cast<char>(random.Byte()));
        break;
    case 3: // remove bytes
        input.erase(at, span);
        break;
    case 4: // repeat a piece, up to a few thousand bytes
        if (!input.empty()) {
            std::string piece = input.substr(at, span);
            size_t times = 1 + random.Below(300);
            for (size_t i = 0; i < times && input.size() < kMaxInput; ++i) input.insert(at, piece);
        }
        break;
    case 5: // cut the end off
        input.resize(at);
        break;
    case 6: { // splice: this input's head, another seed's tail
        const std::string& other = seeds[random.Below(static_cast<uint32_t>(seeds.size()))];
        size_t from = other.empty() ? 0 : random.Below(static_cast<uint32_t>(other.size()));
        input = input.substr(0, at) + other.substr(from);
        break;
    }
    default: // swap two bytes
        if (input.size() > 1) std::swap(input[at], input[random.Below(static_cast<uint32_t>(input.size()))]);
        break;
    }
    if (input.size() > kMaxInput) input.resize(kMaxInput);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s SEED_FOLDER [VARIATIONS]\n", argc ? argv[0] : "replay");
        return 2;
    }
    long variations = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 2000;

    std::vector<fs::path> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(argv[1], error))
        if (entry.is_regular_file()) files.push_back(entry.path());
    if (error || files.empty()) {
        std::fprintf(stderr, "%s: no seed inputs in %s\n", argv[0], argv[1]);
        return 2;
    }
    std::sort(files.begin(), files.end());
    std::vector<std::string> seeds;
    for (const auto& f : files) seeds.push_back(ReadFile(f));

    const std::string keep = fs::path(argv[0]).filename().string() + ".last-input";
    auto run = [&keep](const std::string& input) {
        if (std::FILE* f = std::fopen(keep.c_str(), "wb")) {
            std::fwrite(input.data(), 1, input.size(), f);
            std::fclose(f);
        }
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    };

    for (const auto& seed : seeds) run(seed);
    Random random;
    for (long i = 0; i < variations; ++i) {
        std::string input = seeds[random.Below(static_cast<uint32_t>(seeds.size()))];
        for (uint32_t n = 1 + random.Below(4); n > 0; --n) Mutate(input, seeds, random);
        run(input);
    }
    std::remove(keep.c_str());
    std::printf("%zu seed inputs and %ld variations ran\n", seeds.size(), variations);
    return 0;
}
