#include <gtest/gtest.h>

#include "korvocomm.h"
#include "transport/SocketErrorMap.h"

namespace korvo {
namespace {

TEST(MapSocketError, EveryRowOfTheTable) {
    struct Row {
        int32_t error;
        int32_t code;
    };
    const Row rows[] = {
        {10050, APP_TCP_UNREACHABLE_HOST},   {10051, APP_TCP_UNREACHABLE_HOST},
        {10065, APP_TCP_UNREACHABLE_HOST},   {10052, APP_TCP_CONNECTION_RESET},
        {10053, APP_TCP_CONNECTION_RESET},   {10054, APP_TCP_CONNECTION_RESET},
        {10064, APP_TCP_CONNECTION_RESET},   {10060, APP_TCP_CONNECT_TIME_OUT},
        {10061, APP_TCP_CONNECTION_REFUSED}, {10062, APP_TCP_HOST_NOT_FOUND},
        {10063, APP_TCP_HOST_NOT_FOUND},     {11001, APP_TCP_HOST_NOT_FOUND},
        {11002, APP_TCP_TEMP_RESOLVE_ERROR},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(MapSocketError(r.error, r.error), r.code) << r.error;
        EXPECT_EQ(MapSocketError(r.error, 0), r.code) << r.error;
        // The socket error decides even when the system reports another one.
        EXPECT_EQ(MapSocketError(r.error, 10061 + (r.error == 10061)), r.code) << r.error;
    }
    // Neighbours of the table's numbers are not in it.
    for (int32_t other : {10049, 10055, 10056, 10059, 10066, 11000, 11003, 11004, 10035, 0, -1})
        EXPECT_EQ(MapSocketError(other, other), APP_TCP_CONNECT_ERROR) << other;
}

TEST(MapSocketError, SystemErrorOnlyWhenItIsAnotherSocketNumber) {
    // An unknown socket error falls back to a system error in 10004..11031.
    EXPECT_EQ(MapSocketError(10022, 10061), APP_TCP_CONNECTION_REFUSED);
    EXPECT_EQ(MapSocketError(0, 10060), APP_TCP_CONNECT_TIME_OUT);
    EXPECT_EQ(MapSocketError(10035, 11002), APP_TCP_TEMP_RESOLVE_ERROR);
    // ... but not one that is in range and unknown, nor one outside the range.
    EXPECT_EQ(MapSocketError(10022, 11031), APP_TCP_CONNECT_ERROR);
    EXPECT_EQ(MapSocketError(10022, 10004), APP_TCP_CONNECT_ERROR);
    EXPECT_EQ(MapSocketError(10022, 2), APP_TCP_CONNECT_ERROR);
    EXPECT_EQ(MapSocketError(10022, 11032), APP_TCP_CONNECT_ERROR);
    EXPECT_EQ(MapSocketError(10022, 10003), APP_TCP_CONNECT_ERROR);
    // No attempt failed at all (an empty address list).
    EXPECT_EQ(MapSocketError(0, 0), APP_TCP_CONNECT_ERROR);
}

} // namespace
} // namespace korvo
