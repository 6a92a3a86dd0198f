// What korvoprog reports through its exit code, and the connection kinds of
// its command line.
#pragma once

namespace korvo {

constexpr int kExitSuccess = 0;           // every line ran, the last with 0; disconnected cleanly
constexpr int kExitInvalidParameters = 1; // the command line is invalid
constexpr int kExitConnectionFailed = 3;
constexpr int kExitDisconnectError = 4; // every line ran with 0 but the disconnection failed
constexpr int kExitInputOpenError = 5;
constexpr int kExitInputTooLong = 6;
constexpr int kExitInputTooShort = 7;
constexpr int kExitLineTooLong = 8;
constexpr int kExitOutputOpenError = 9;
constexpr int kExitCommandFailed = 10; // the last line processed had a nonzero result

enum ConnectionKind : int {
    kConnectionInvalid = 0,
    kConnectionUSB = 1,
    kConnectionRS232 = 2,
    kConnectionTCP = 3,
};

} // namespace korvo
