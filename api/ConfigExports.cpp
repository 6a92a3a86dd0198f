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

// What each key allows: its range, its process-wide default (none: per
// connection only), and its value on one connection (no write: set
// process-wide only).
struct ConfigRule {
    ConfigKey key;
    int32_t minimum;
    int32_t maximum;
    std::atomic<int32_t>* global;
    // The values are never negative; -1 when the connection has none.
    int32_t (*read)(CommandSession& session);
    void (*write)(CommandSession& session, int32_t value);
};

int32_t DnsModeOf(CommandSession& s) {
    // Only a TCP transport has the option; serial links answer -1.
    return s.Transport() ? s.Transport()->GetOption(OPTION_DNS_CONNECT_MODE) : -1;
}

void SetTransferTimeOf(CommandSession& s, int32_t v) {
    s.SetLinkTransferTime(static_cast<uint32_t>(v));
    if (INetworkLayer* t = s.Transport()) t->SetTransferTime(static_cast<uint32_t>(v));
}

const ConfigRule kRules[] = {
    {CONFIG_NEXT_CMD_TIME, kMinNextCommandTime, kMaxNextCommandTime, nullptr,
     [](CommandSession& s) { return s.NextCommandTime(); },
     [](CommandSession& s, int32_t v) { s.SetNextCommandTime(v); }},
    {CONFIG_LINK_TRANSFER_TIME, 0, kMaxLinkTime, &globalLinkTransferTime,
     [](CommandSession& s) { return static_cast<int32_t>(s.LinkTransferTime()); },
     SetTransferTimeOf},
    {CONFIG_EXTEND_RESPONSE_TIME, 0, kMaxLinkTime, &globalExtendResponseTime,
     [](CommandSession& s) { return s.ExtendResponseTime(); },
     [](CommandSession& s, int32_t v) { s.SetExtendResponseTime(v); }},
    {CONFIG_DNS_CONNECT_MODE, 0, kMaxDnsConnectMode, &globalDnsConnectMode, DnsModeOf, nullptr},
};

const ConfigRule* FindRule(const char* key) {
    ConfigKey k = FindConfigKey(key);
    for (const ConfigRule& rule : kRules)
        if (rule.key == k) return &rule;
    return nullptr;
}

int32_t SetGlobal(const char* key, const char* value) {
    if (!key) return APP_INVALID_CFG_NAME;
    if (!value) return APP_INVALID_CFG_VALUE;
    const ConfigRule* rule = FindRule(key);
    if (!rule) return APP_UNKNOWN_CFG_VALUE;
    if (!rule->global) return APP_DYNAMIC_ONLY_CFG_VALUE;
    int32_t v = rule->global->load();
    int32_t r = ParseConfigValue(value, rule->minimum, rule->maximum, v);
    if (r == 0) rule->global->store(v);
    return r;
}

int32_t SetOnConnection(CommandSession& session, const char* key, const char* value) {
    if (!key) return APP_INVALID_CFG_NAME;
    if (!value) return APP_INVALID_CFG_VALUE;
    const ConfigRule* rule = FindRule(key);
    if (!rule) return APP_UNKNOWN_CFG_VALUE;
    if (!rule->write) return APP_STATIC_ONLY_CFG_VALUE;
    int32_t v = rule->read(session);
    int32_t r = ParseConfigValue(value, rule->minimum, rule->maximum, v);
    if (r == 0) rule->write(session, v);
    return r;
}

int32_t CheckOutput(const char* key, const char* buffer, int32_t bufferSize) {
    if (!key) return APP_INVALID_CFG_NAME;
    if (!buffer) return APP_NO_OUTPUT_BUFFER;
    if (bufferSize < 0) return APP_INVALID_BUFFER_LEN;
    return 0;
}

int32_t GetGlobal(const char* key, char* buffer, int32_t bufferSize) {
    if (int32_t r = CheckOutput(key, buffer, bufferSize)) return r;
    const ConfigRule* rule = FindRule(key);
    if (!rule) return APP_UNKNOWN_CFG_VALUE;
    if (!rule->global) return APP_DYNAMIC_ONLY_CFG_VALUE;
    return FormatConfigValue(rule->global->load(), buffer, bufferSize);
}

int32_t GetOnConnection(CommandSession& session, const char* key, char* buffer, int32_t bufferSize) {
    if (int32_t r = CheckOutput(key, buffer, bufferSize)) return r;
    const ConfigRule* rule = FindRule(key);
    int32_t value = rule ? rule->read(session) : -1;
    if (value < 0) return APP_UNKNOWN_CFG_VALUE;
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
