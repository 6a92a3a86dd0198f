#include "trace/FrameMeaning.h"

#include "transport/LinkFrameFormat.h"

namespace korvo {

namespace {

void Numbered(TraceLine& line, const char* name, int first, int second = -1) {
    line.Text(name);
    line.Char('(');
    line.Decimal(first);
    if (second >= 0) {
        line.Char(',');
        line.Decimal(second);
    }
    line.Char(')');
}

} // namespace

void AppendFrameMeaning(TraceLine& line, const uint8_t* body, size_t length) {
    if (length < 3) {
        line.Text("(too short)");
        return;
    }
    const uint8_t control = body[2];
    if ((control & 0x01) == 0) {
        Numbered(line, "I", SendSequence(control), ReceiveSequence(control));
        size_t dataLength = length >= 4 && body[3] >= 1 ? body[3] - 1u : 0;
        if (dataLength + 6 > length) dataLength = length > 6 ? length - 6 : 0;
        line.Text(" \"");
        line.Escaped(body + 4, dataLength);
        line.Char('"');
        return;
    }
    if ((control & 0x03) == 0x01) {
        static const char* const kinds[] = {"RR", "RNR", "REJ", "SREJ"};
        Numbered(line, kinds[(control >> 2) & 3], ReceiveSequence(control));
        return;
    }
    switch (control & 0xEF) {
    case kCtrlSNRM & 0xEF:
        line.Text("SNRM");
        return;
    case kCtrlDISC & 0xEF:
        line.Text("DISC");
        return;
    case kCtrlUA & 0xEF:
        line.Text("UA");
        return;
    case kCtrlFRMR & 0xEF:
        line.Text("FRMR");
        return;
    case 0x0F:
        line.Text("DM");
        return;
    default:
        line.Text("unnumbered ");
        line.Hex(&control, 1);
    }
}

void AppendFrameWire(TraceLine& line, const uint8_t* body, size_t length) {
    const uint8_t start = kFrameStart;
    line.Hex(&start, 1);
    for (size_t i = 0; i < length; ++i) {
        line.Char(' ');
        line.Hex(body + i, 1);
        if (body[i] == kFrameStart) {
            line.Char(' ');
            line.Hex(body + i, 1);
        }
    }
}

} // namespace korvo
