// The documented example of the RS-232 link: device address 2, link not yet
// set up, the library sends the message 41 42 and the printer answers 43 0A.
// "L>P" is a frame from the library to the printer, "P>L" the other way.
#pragma once

namespace korvo::test {

constexpr const char* kExampleExchange[] = {
    "L>P AA 02 01 53 C7 37",          // DISC
    "P>L AA 01 02 73 A6 1F",          // UA
    "L>P AA 02 01 93 8B EE",          // SNRM
    "P>L AA 01 02 73 A6 1F",          // UA
    "L>P AA 02 01 11 41 5F",          // RR, N(R) 0
    "P>L AA 01 02 11 42 53",          // RR, N(R) 0
    "L>P AA 02 01 10 03 41 42 9D 35", // I, N(S) 0, N(R) 0, data 41 42
    "P>L AA 01 02 31 20 77",          // RR, N(R) 1
    "L>P AA 02 01 11 41 5F",          // RR, N(R) 0
    "P>L AA 01 02 30 03 43 0A 4F 8D", // I, N(S) 0, N(R) 1, data 43 0A
    "L>P AA 02 01 31 23 7B",          // RR, N(R) 1
};
constexpr int kExampleSteps = 11;

} // namespace korvo::test
