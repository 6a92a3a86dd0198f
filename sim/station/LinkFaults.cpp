#include "sim/station/LinkFaults.h"

#include <cstdlib>
#include <cstring>

namespace korvo::sim {

namespace {

struct KindName {
    const char* name;
    LinkFaultKind kind;
};

constexpr KindName kKinds[] = {
    {"silence", LinkFaultKind::Silence},   {"lose", LinkFaultKind::Lose},
    {"crc", LinkFaultKind::CorruptCrc},    {"rnr", LinkFaultKind::Busy},
    {"frmr", LinkFaultKind::Reject},       {"addr", LinkFaultKind::WrongAddress},
    {"seq", LinkFaultKind::WrongSequence},
};

bool ParseNumber(const char* begin, const char* end, uint32_t& value) {
    if (begin == end || end - begin > 9) return false;
    uint32_t v = 0;
    for (const char* p = begin; p != end; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + static_cast<uint32_t>(*p - '0');
    }
    value = v;
    return true;
}

} // namespace

bool ParseLinkFault(const char* text, LinkFault& fault) {
    if (!text) return false;
    const char* end = text + std::strlen(text);
    const char* at = std::strchr(text, '@');
    const char* kindEnd = at ? at : end;
    const char* colon =
        static_cast<const char*>(std::memchr(text, ':', static_cast<size_t>(kindEnd - text)));
    const char* nameEnd = colon ? colon : kindEnd;

    LinkFault f;
    bool known = false;
    for (const KindName& k : kKinds) {
        if (std::strlen(k.name) == static_cast<size_t>(nameEnd - text) &&
            std::strncmp(k.name, text, static_cast<size_t>(nameEnd - text)) == 0) {
            f.kind = k.kind;
            known = true;
        }
    }
    if (!known) return false;
    if (colon && (!ParseNumber(colon + 1, kindEnd, f.count) || f.count == 0)) return false;
    if (at) {
        const char* n = at + 1;
        if (*n == 'i') {
            f.onInformation = true;
            ++n;
        }
        if (!ParseNumber(n, end, f.trigger) || f.trigger == 0) return false;
    }
    fault = f;
    return true;
}

void LinkFaultPlan::OnFrame(uint32_t frameNumber, uint32_t informationNumber) {
    for (LinkFault& f : faults) {
        if (f.active || f.spent) continue;
        uint32_t reached = f.onInformation ? informationNumber : frameNumber;
        if (f.trigger == 0 || reached >= f.trigger) {
            f.active = true;
            f.left = f.count;
        }
    }
}

bool LinkFaultPlan::Take(LinkFaultKind kind) {
    for (LinkFault& f : faults) {
        if (!f.active || f.kind != kind) continue;
        if (--f.left == 0) {
            f.active = false;
            f.spent = true;
        }
        return true;
    }
    return false;
}

} // namespace korvo::sim
