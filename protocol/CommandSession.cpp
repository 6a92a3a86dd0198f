#include "protocol/CommandSession.h"

#include <climits>
#include <cstring>

#include "platform/clock.h"
#include "protocol/CommandCatalogue.h"
#include "protocol/ConfigDefaults.h"
#include "protocol/ResultCodes.h"
#include "protocol/TextCompare.h"
#include "trace/WireTrace.h"
#include "transport/INetworkLayer.h"

namespace korvo {

namespace {

constexpr char kConnectName[] = "\tCONNECT";
constexpr char kRequestMarker[] = "\tREQ";
constexpr char kResponseMarker[] = "RSP";

size_t BoundedLength(const char* text, size_t limit) {
    const void* nul = std::memchr(text, 0, limit);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : limit;
}

// The result field: an optional minus sign and decimal digits only (a lone
// minus reads as 0). Values beyond the int32 range are clamped.
bool ParseResultCode(const char* text, int32_t& code) {
    if (!*text) return false;
    bool negative = *text == '-';
    const char* p = negative ? text + 1 : text;
    int64_t value = 0;
    for (; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        if (value <= INT64_C(0xFFFFFFFF)) value = value * 10 + (*p - '0');
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    if (value < INT32_MIN) value = INT32_MIN;
    code = static_cast<int32_t>(value);
    return true;
}

} // namespace

CommandSession::CommandSession(INetworkLayer* t, const Waitable* input)
    : transport(t),
      waitItems{input, &abortWake},
      linkTransferTime(static_cast<uint32_t>(globalLinkTransferTime.load(std::memory_order_relaxed))),
      extendResponseTime(globalExtendResponseTime.load(std::memory_order_relaxed)) {
    if (transport) {
        if (linkTransferTime != 0) transport->SetTransferTime(linkTransferTime);
        int32_t dnsMode = globalDnsConnectMode.load(std::memory_order_relaxed);
        if (dnsMode >= 0) transport->SetOption(OPTION_DNS_CONNECT_MODE, static_cast<uint32_t>(dnsMode));
    }
    std::memset(lastCommandName, 0, sizeof lastCommandName);
    std::memset(responseBuffer, 0, sizeof responseBuffer);
    abortWake.Open();
}

int32_t CommandSession::Connect() {
    if (!transport) return lastStatus = APP_NO_NETWORK_LAYER;
    int32_t r = transport->Open();
    if (trace) trace->Opened(r);
    lastStatus = r;
    if (r != 0) return r;
    bool drop = false;
    r = Execute(kConnectName, nullptr, drop);
    // 301: the printer had a session open and has just closed it; the next
    // CONNECT opens ours.
    if (r == EFP_ILLEGAL_COMMAND) r = Execute(kConnectName, nullptr, drop);
    return r;
}

int32_t CommandSession::Execute(const char* name, const char* parameters, bool& dropConnection) {
    dropConnection = false;
    if (!transport) return lastStatus = APP_NO_NETWORK_LAYER;

    int32_t index = FindCommand(name);
    if (index < 0) return lastStatus = APP_UNKNOWN_COMMAND;
    const CommandEntry& entry = CommandCatalogue[index];

    // The one-shot time is spent from here on, whatever happens next.
    uint32_t base = nextCommandTime != 0 ? static_cast<uint32_t>(nextCommandTime)
                                         : static_cast<uint32_t>(entry.responseTime);
    uint32_t timeLimit = base + 2u * linkTransferTime + transport->GetExtraResponseTime() +
                         static_cast<uint32_t>(extendResponseTime);
    nextCommandTime = 0;

    responseValues = nullptr;
    std::memset(lastCommandName, 0, sizeof lastCommandName);

    size_t paramLength = parameters ? BoundedLength(parameters, kTextSize) : 0;
    if (paramLength >= kTextSize) return lastStatus = APP_CMD_DATA_TOO_LONG;

    std::memcpy(lastCommandName, name, BoundedLength(name, kTextSize - 1));

    char line[kTextSize + 1] = {};
    size_t shortLength = std::strlen(entry.shortName);
    size_t length = 0;
    std::memcpy(line, entry.shortName, shortLength);
    length += shortLength;
    std::memcpy(line + length, kRequestMarker, sizeof kRequestMarker - 1);
    length += sizeof kRequestMarker - 1;
    if (paramLength > 0 || entry.requestHead) {
        if (length + 1 + paramLength >= kTextSize) return lastStatus = APP_COMMAND_TOO_LONG;
        line[length++] = '\t';
        if (paramLength > 0) std::memcpy(line + length, parameters, paramLength);
        length += paramLength;
    }
    line[length++] = '\n';

    // An abort stays in force: nothing more reaches the printer, where it
    // would be executed while the caller is told it was not.
    if (abortRequested.load(std::memory_order_relaxed)) return lastStatus = APP_COMMUNICATION_ABORTED;

    transport->PurgeReceive();
    if (trace) trace->Request(line, static_cast<uint32_t>(length));
    int32_t r = transport->Send(reinterpret_cast<const uint8_t*>(line), static_cast<uint32_t>(length));
    lastStatus = r;
    currentWireName = entry.shortName;
    if (r == 0) r = WaitResponse(timeLimit);
    if (trace) trace->Result(r);
    dropConnection = r == 0 && entry.restartsPrinter;
    return r;
}

int32_t CommandSession::WaitResponse(uint32_t timeLimit) {
    std::memset(responseBuffer, 0, sizeof responseBuffer);
    responseValues = nullptr;
    lastStatus = 0;
    const uint32_t start = TickCount();
    uint32_t received = 0;
    bool complete = false;
    int32_t status = APP_RESPONSE_TIMEOUT;

    while (TickCount() - start < timeLimit) {
        if (transport->BytesAvailable() != 0) {
            int32_t r = TakeAvailable(received, complete);
            if (r != 0 || complete) {
                status = r;
                break;
            }
        }
        if (abortRequested.load(std::memory_order_relaxed)) {
            status = APP_COMMUNICATION_ABORTED;
            break;
        }
        if (transport->HasFailed()) {
            status = transport->GetFailureCode();
            break;
        }
        PumpMessages();
        // At most the millisecond of a pass; the answer, the link thread's
        // data or an abort ends it at once.
        WaitForInput(waitItems, 2, 1);
    }
    transport->EndReceive();
    if (complete) return ParseResponse();
    return lastStatus = status;
}

int32_t CommandSession::TakeAvailable(uint32_t& received, bool& complete) {
    uint32_t room = kTextSize - received;
    int32_t n = transport->Receive(reinterpret_cast<uint8_t*>(responseBuffer) + received, room);
    if (static_cast<uint32_t>(n) > room) return APP_UNKNOWN_RECEIVE_ERROR;
    if (trace) trace->Received(responseBuffer + received, static_cast<uint32_t>(n));
    uint32_t first = received;
    received += static_cast<uint32_t>(n);
    if (std::memchr(responseBuffer + first, 0, received - first)) return APP_WRONG_RESPONSE_DATA;
    const char* lf = static_cast<const char*>(std::memchr(responseBuffer + first, '\n', received - first));
    while (lf) {
        uint32_t lineLength = static_cast<uint32_t>(lf - responseBuffer) + 1;
        if (!IsStaleAnswer(lineLength)) {
            if (lineLength != received) return APP_WRONG_RESPONSE_DATA;
            complete = true;
            return 0;
        }
        // The late answer of an earlier command: dropped, and the wait goes
        // on for this one's.
        received -= lineLength;
        std::memmove(responseBuffer, responseBuffer + lineLength, received);
        std::memset(responseBuffer + received, 0, lineLength);
        lf = static_cast<const char*>(std::memchr(responseBuffer, '\n', received));
    }
    // A full buffer without a line end can never become a well-formed line;
    // waiting for the time-out would only delay.
    return received == kTextSize ? APP_WRONG_RESPONSE_DATA : 0;
}

bool CommandSession::IsStaleAnswer(uint32_t lineLength) const {
    if (!currentWireName) return false;
    const char* end = static_cast<const char*>(std::memchr(responseBuffer, '\t', lineLength));
    size_t nameLength = end ? static_cast<size_t>(end - responseBuffer) : lineLength - 1;
    // The command sent in another letter case is a wrong echo, not a stale answer.
    if (nameLength == std::strlen(currentWireName) && EqualsIgnoreCaseN(responseBuffer, currentWireName, nameLength))
        return false;
    for (int32_t i = 0; CommandCatalogue[i].shortName; ++i) {
        const char* name = CommandCatalogue[i].shortName;
        if (std::strlen(name) == nameLength && std::memcmp(name, responseBuffer, nameLength) == 0) return true;
    }
    return false;
}

int32_t CommandSession::ParseResponse() {
    // Split in place: the first three TABs and the line end become NULs.
    char* fields[3] = {responseBuffer, nullptr, nullptr};
    char* values = nullptr;
    int tabs = 0;
    char* p = responseBuffer;
    for (; *p && *p != '\n'; ++p) {
        if (*p == '\t' && tabs < 3) {
            *p = '\0';
            if (tabs < 2)
                fields[tabs + 1] = p + 1;
            else
                values = p + 1;
            ++tabs;
        }
    }
    if (*p == '\n') *p = '\0';
    if (!values) values = p;

    int32_t code = 0;
    bool wellFormed = tabs >= 2 && currentWireName && std::strcmp(fields[0], currentWireName) == 0 &&
                      std::strcmp(fields[1], kResponseMarker) == 0 && ParseResultCode(fields[2], code);
    if (!wellFormed) {
        std::memset(responseBuffer, 0, sizeof responseBuffer);
        responseValues = nullptr;
        return lastStatus = APP_WRONG_RESPONSE_DATA;
    }
    responseValues = values;
    return code;
}

} // namespace korvo
