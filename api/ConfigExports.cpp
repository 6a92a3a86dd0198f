// SetConfigValue and GetConfigValue: the process-wide defaults with handle 0,
// the values of one connection otherwise. The checks run in a fixed order:
// handle, key present, value or buffer present, buffer size, key name.
#include "korvocomm.h"

#include "api/ConnectionTable.h"
#include "protocol/CommandSession.h"
#include "protocol/ConfigDefaults.h"
#include "protocol/ConfigValues.h"
#include "transport/INetworkLayer.h"

using namespace korvo;

namespace {

constexpr int32_t kMaxLinkTime = 5000;
constexpr int32_t kMinNextCommandTime = 100;
constexpr int32_t kMaxNextCommandTime = 1800000;
constexpr int32_t kMaxDnsMode = 2;

int32_t ParseInto(const char* value, int32_t minimum, int32_t maximum, std::atomic<int32_t>& target) {
    int32_t v = target.load();
    int32_t r = ParseConfigValue(value, minimum, maximum, v);
    if (r == 0) target.store(v);
    return r;
}

int32_t SetGlobal(const char* key, const char* value) {
    if (!key) return APP_INVALID_CFG_NAME;
    if (!value) return APP_INVALID_CFG_VALUE;
    switch (FindConfigKey(key)) {
    case CONFIG_NEXT_CMD_TIME:
        return APP_DYNAMIC_ONLY_CFG_VALUE;
    case CONFIG_LINK_TRANSFER_TIME:
        return ParseInto(value, 0, kMaxLinkTime, globalLinkTransferTime);
    case CONFIG_EXTEND_RESPONSE_TIME:
        return ParseInto(value, 0, kMaxLinkTime, globalExtendResponseTime);
    case CONFIG_DNS_CONNECT_MODE:
        return ParseInto(value, 0, kMaxDnsMode, globalDnsConnectMode);
    default:
        return APP_UNKNOWN_CFG_VALUE;
    }
}

int32_t SetOnConnection(CommandSession& session, const char* key, const char* value) {
    if (!key) return APP_INVALID_CFG_NAME;
    if (!value) return APP_INVALID_CFG_VALUE;
    int32_t v = 0;
    int32_t r = 0;
    switch (FindConfigKey(key)) {
    case CONFIG_NEXT_CMD_TIME:
        v = session.NextCommandTime();
        r = ParseConfigValue(value, kMinNextCommandTime, kMaxNextCommandTime, v);
        if (r == 0) session.SetNextCommandTime(v);
        return r;
    case CONFIG_LINK_TRANSFER_TIME:
        v = static_cast<int32_t>(session.LinkTransferTime());
        r = ParseConfigValue(value, 0, kMaxLinkTime, v);
        if (r == 0) {
            session.SetLinkTransferTime(static_cast<uint32_t>(v));
            if (INetworkLayer* t = session.Transport()) t->SetTransferTime(static_cast<uint32_t>(v));
        }
        return r;
    case CONFIG_EXTEND_RESPONSE_TIME:
        v = session.ExtendResponseTime();
        r = ParseConfigValue(value, 0, kMaxLinkTime, v);
        if (r == 0) session.SetExtendResponseTime(v);
        return r;
    case CONFIG_DNS_CONNECT_MODE:
        return APP_STATIC_ONLY_CFG_VALUE;
    default:
        return APP_UNKNOWN_CFG_VALUE;
    }
}

int32_t GetGlobal(const char* key, char* buffer, int32_t bufferSize) {
    if (!key) return APP_INVALID_CFG_NAME;
    if (!buffer) return APP_NO_OUTPUT_BUFFER;
    if (bufferSize < 0) return APP_INVALID_BUFFER_LEN;
    switch (FindConfigKey(key)) {
    case CONFIG_NEXT_CMD_TIME:
        return APP_DYNAMIC_ONLY_CFG_VALUE;
    case CONFIG_LINK_TRANSFER_TIME:
        return FormatConfigValue(globalLinkTransferTime.load(), buffer, bufferSize);
    case CONFIG_EXTEND_RESPONSE_TIME:
        return FormatConfigValue(globalExtendResponseTime.load(), buffer, bufferSize);
    case CONFIG_DNS_CONNECT_MODE:
        return FormatConfigValue(globalDnsConnectMode.load(), buffer, bufferSize);
    default:
        return APP_UNKNOWN_CFG_VALUE;
    }
}

int32_t GetOnConnection(CommandSession& session, const char* key, char* buffer, int32_t bufferSize) {
    if (!key) return APP_INVALID_CFG_NAME;
    if (!buffer) return APP_NO_OUTPUT_BUFFER;
    if (bufferSize < 0) return APP_INVALID_BUFFER_LEN;
    int32_t value = 0;
    switch (FindConfigKey(key)) {
    case CONFIG_NEXT_CMD_TIME:
        value = session.NextCommandTime();
        break;
    case CONFIG_LINK_TRANSFER_TIME:
        value = static_cast<int32_t>(session.LinkTransferTime());
        break;
    case CONFIG_EXTEND_RESPONSE_TIME:
        value = session.ExtendResponseTime();
        break;
    case CONFIG_DNS_CONNECT_MODE:
        // Only a TCP transport has the option; serial links answer -1.
        value = session.Transport() ? session.Transport()->GetOption(OPTION_DNS_CONNECT_MODE) : -1;
        if (value < 0) return APP_UNKNOWN_CFG_VALUE;
        break;
    default:
        return APP_UNKNOWN_CFG_VALUE;
    }
    return FormatConfigValue(value, buffer, bufferSize);
}

} // namespace

extern "C" {

KORVO_API int KORVO_CALL SetConfigValue(int handle, const char* key, const char* value) {
    if (handle == 0) return Store(SetGlobal(key, value));
    int32_t error = 0;
    ConnectionSlot* slot = Connections().Resolve(handle, error);
    if (!slot) return error;
    return Store(SetOnConnection(*slot->session.load(), key, value));
}

KORVO_API int KORVO_CALL GetConfigValue(int handle, const char* key, char* buffer, int bufferSize) {
    if (handle == 0) return Store(GetGlobal(key, buffer, bufferSize));
    int32_t error = 0;
    ConnectionSlot* slot = Connections().Resolve(handle, error);
    if (!slot) return error;
    return Store(GetOnConnection(*slot->session.load(), key, buffer, bufferSize));
}

} // extern "C"
