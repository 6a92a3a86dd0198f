// The entry point every fuzz target defines. The same target file builds two
// ways: with libFuzzer (clang, -fsanitize=fuzzer) for open-ended runs, and
// with ReplayMain.cpp as an ordinary test that replays the seed inputs and a
// fixed set of variations of them in every build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace korvo::fuzz {

// Takes an input apart from the front: a few control bytes, then the rest.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data(data), size(size) {}

    // The next byte, 0 once the input is used up.
    uint8_t TakeByte() { return pos < size ? data[pos++] : 0; }

    // The bytes up to the next separator (which is consumed) or to the end.
    std::string TakeUntil(char separator) {
        size_t start = pos;
        while (pos < size && data[pos] != static_cast<uint8_t>(separator)) ++pos;
        std::string piece(reinterpret_cast<const char*>(data + start), pos - start);
        if (pos < size) ++pos;
        return piece;
    }

    std::string Rest() {
        std::string rest(reinterpret_cast<const char*>(data + pos), size - pos);
        pos = size;
        return rest;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
};

// A broken expectation: ends the process the way a crash does, so that
// libFuzzer keeps the input and the replay test fails.
[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "fuzz target: %s\n", what);
    std::abort();
}

} // namespace korvo::fuzz
