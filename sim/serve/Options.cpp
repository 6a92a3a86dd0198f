#include "sim/serve/Options.h"

#include <cstdlib>
#include <cstring>

#include "sim/values/Amount.h"

namespace korvo::sim {

bool ParseHostPort(const std::string& hostPort, std::string& host, uint16_t& port) {
    size_t colon;
    if (!hostPort.empty() && hostPort[0] == '[') {
        size_t close = hostPort.find(']');
        if (close == std::string::npos || close + 1 >= hostPort.size() ||
            hostPort[close + 1] != ':')
            return false;
        host = hostPort.substr(1, close - 1);
        colon = close + 1;
        if (host.empty()) return false;
    } else {
        colon = hostPort.rfind(':');
        if (colon == std::string::npos) return false;
        host = hostPort.substr(0, colon);
        // A bare IPv6 address needs brackets to carry a port.
        if (host.find(':') != std::string::npos) return false;
        if (host.empty()) host = "127.0.0.1";
    }
    int64_t value = 0;
    if (!ParseInteger(hostPort.c_str() + colon + 1, 0, 65535, value)) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

const char* UsageText() {
    return "Usage: korvosim [OPTION]...\n"
           "Simulates a Korvo fiscal printer for the korvocomm kit and for applications under\n"
           "development. Prints its endpoints, then serves until SIGINT or SIGTERM; exits 0 and\n"
           "removes its symlinks.\n"
           "\n"
           "Front ends (several may be given, at least one is needed):\n"
           "  --tcp HOST:PORT    line protocol over TCP; port 0 picks a free port, which is\n"
           "                     printed; IPv6 as [::1]:PORT. Loopback addresses only, unless\n"
           "  --allow-remote     also accepts other local addresses for --tcp.\n"
           "  --usb PATH         line protocol on a new pseudo-terminal, reachable through a\n"
           "                     symlink created at PATH (the printer's virtual COM port).\n"
           "  --rs232 PATH       the framed RS-232 link on a new pseudo-terminal behind a\n"
           "                     symlink at PATH; the printer is the secondary station. The\n"
           "                     next options up to another --rs232 apply to this one:\n"
           "    --address N      its link address, 2 to 255 (default 2);\n"
           "    --baud B         the line speed for --throttle (default 9600);\n"
           "    --throttle       takes as long as the line would: 10 bit times a byte;\n"
           "    --link-fault F   a fault of the station, KIND[:COUNT][@[i]N]: from the N-th\n"
           "                     frame received (iN: information frame; default the first)\n"
           "                     COUNT frames in a row (default 1) are answered wrongly.\n"
           "                     KIND: silence (no answer, frame ignored), lose (taken, the\n"
           "                     answer is lost), crc (bad CRC), rnr (busy), frmr (reject),\n"
           "                     addr (another address), seq (wrong sequence number).\n"
           "\n"
           "Files:\n"
           "  --paper FILE       appends every printed document as text (the paper roll).\n"
           "  --journal FILE     appends every request and response line with a time stamp:\n"
           "                     \"DATE TIME #CONN > REQUEST\", \"... < RESPONSE\", \"... ! "
           "NOTE\",\n"
           "                     control bytes escaped (\\t \\n \\0 \\xHH).\n"
           "  --faults FILE      fault rules, one a line (# starts a comment):\n"
           "                       COMMAND ACTION [ARGUMENT] [skip=N] [count=N]\n"
           "                     COMMAND is a short name (bFR, CONNECT), a long name or *;\n"
           "                     skip=N spares the first N matches, count=N limits the rule\n"
           "                     to N uses. ACTION is one of:\n"
           "                       delay MS           answer MS ms later\n"
           "                       silent             never answer (command not executed)\n"
           "                       code N             answer code N (command not executed)\n"
           "                       malformed          answer a line whose code is no number\n"
           "                       raw TEXT           answer TEXT (escapes \\t \\n \\0 \\xHH)\n"
           "                       chunks SIZE [GAP]  answer in SIZE-byte pieces, GAP ms apart\n"
           "                       double             answer the line twice in one write\n"
           "                       nul                put a NUL byte into the answer\n"
           "                       drop [BYTES]       send BYTES (default half), then hang up\n"
           "                       lose               never answer (command executed)\n"
           "                       corrupt [OFFSET]   flip the top bit of one answer byte\n"
           "  --state FILE       keeps the printer's state (receipt numbers, totals, lines,\n"
           "                     tables) in FILE across restarts.\n"
           "  --replay TRACE     answers from a wire trace that korvocomm wrote (see\n"
           "                     KORVOCOMM_TRACE) instead of the printer model: each request\n"
           "                     line gets the bytes recorded after the same request, in the\n"
           "                     trace's order, at once; nothing where the printer said\n"
           "                     nothing. A request the trace does not hold gets no answer\n"
           "                     (noted on stderr). Faults apply on top.\n"
           "\n"
           "Behaviour:\n"
           "  --speed F          scales the printer's working times: 0 answers at once (the\n"
           "                     default), 1 is a real printer's pace.\n"
           "  --chaos SEED:RATE[:LOST[:DELAYED[:REPEATED]]]\n"
           "                     random faults, the same for the same SEED: in each direction\n"
           "                     RATE % of the RS-232 frames and of the TCP and USB lines are\n"
           "                     corrupted, LOST % lost (default RATE/2), DELAYED % delayed\n"
           "                     (RATE/4; lines by up to 1 s, frames by up to 150 ms) and\n"
           "                     REPEATED % repeated (RATE/4), in percent. A request line is\n"
           "                     corrupted in its command name only and never repeated; the\n"
           "                     journal notes each fault of a line. Rules of --faults come\n"
           "                     first.\n"
           "  --help             shows this text.\n"
           "  --version          shows the kit's version.\n"
           "\n"
           "The printer: VAT rates 1 A 23%, 2 B 19%, 3 C 5%, 4 D 10%, 5 E 0% (exempt, needs\n"
           "specialRegulation); payments 1 Cash, 2 Card, 3 Voucher, 4 Cheque, 5 Transfer (6\n"
           "unused); receipt types of beginFiscalReceipt 1 sale, 2 refund, 3 invoice payment,\n"
           "4 cash deposit, 5 cash withdrawal; dates as YYYY-MM-DDTHH:MM:SS. Properties\n"
           "(getProperty, setProperty 12..18 with 0 or 1): 1 NumVatRates, 2 NumPayments,\n"
           "3 NumHeaderLines, 4 NumTrailerLines, 5 LineWidth, 6 SerialNumber, 7 FirmwareVersion,\n"
           "8 PrinterState, 9 TrainingModeActive, 10 DayOpened, 11 DTSettingLimit,\n"
           "12 OnlineRegistration, 13 PortableRegister, 14 UpdateAvailable, 15 UpdateFired,\n"
           "16 InspectionFired, 17 PaperEmpty, 18 CoverOpen.\n";
}

bool ParseOptions(int argc, const char* const* argv, SimulatorOptions& options, bool& help,
                  std::string& error) {
    help = false;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            help = true;
            return true;
        }
        if (option == "--allow-remote") {
            options.allowRemote = true;
            continue;
        }
        if (option == "--throttle") {
            if (options.rs232.empty()) {
                error = "--throttle belongs to an --rs232 given before it";
                return false;
            }
            options.rs232.back().throttle = true;
            continue;
        }
        static const char* const withValue[] = {"--tcp",     "--usb",     "--paper", "--journal",
                                                "--faults",  "--state",   "--speed", "--rs232",
                                                "--address", "--baud",    "--link-fault",
                                                "--chaos",   "--replay"};
        bool known = false;
        for (const char* name : withValue)
            known = known || option == name;
        if (!known) {
            error = "unknown option " + option + " (see --help)";
            return false;
        }
        if (i + 1 >= argc) {
            error = option + " needs a value";
            return false;
        }
        std::string value = argv[++i];
        if (option == "--tcp") {
            std::string host;
            uint16_t port = 0;
            if (!ParseHostPort(value, host, port)) {
                error = "--tcp wants HOST:PORT, not " + value;
                return false;
            }
            options.tcp.push_back(value);
        } else if (option == "--usb") {
            if (value.empty()) {
                error = "--usb wants a path";
                return false;
            }
            options.usb.push_back(value);
        } else if (option == "--rs232") {
            if (value.empty()) {
                error = "--rs232 wants a path";
                return false;
            }
            options.rs232.push_back(Rs232Options{});
            options.rs232.back().path = value;
        } else if (option == "--address" || option == "--baud" || option == "--link-fault") {
            if (options.rs232.empty()) {
                error = option + " belongs to an --rs232 given before it";
                return false;
            }
            Rs232Options& rs232 = options.rs232.back();
            int64_t number = 0;
            LinkFault fault;
            if (option == "--address") {
                if (!ParseInteger(value.c_str(), 2, 255, number)) {
                    error = "--address wants 2 to 255, not " + value;
                    return false;
                }
                rs232.address = static_cast<uint8_t>(number);
            } else if (option == "--baud") {
                if (!ParseInteger(value.c_str(), 300, 4000000, number)) {
                    error = "--baud wants a speed from 300 to 4000000, not " + value;
                    return false;
                }
                rs232.baudRate = static_cast<uint32_t>(number);
            } else {
                if (!ParseLinkFault(value.c_str(), fault)) {
                    error = "--link-fault wants KIND[:COUNT][@[i]N], not " + value;
                    return false;
                }
                rs232.faults.push_back(value);
            }
        } else if (option == "--paper") {
            options.paperFile = value;
        } else if (option == "--journal") {
            options.journalFile = value;
        } else if (option == "--faults") {
            options.faultsFile = value;
        } else if (option == "--chaos") {
            if (!ParseChaos(value.c_str(), options.chaos)) {
                error = "--chaos wants SEED:RATE[:LOST[:DELAYED[:REPEATED]]] in percent, not " +
                        value;
                return false;
            }
        } else if (option == "--state") {
            options.stateFile = value;
        } else if (option == "--replay") {
            options.replayFile = value;
        } else {
            char* end = nullptr;
            double speed = std::strtod(value.c_str(), &end);
            if (value.empty() || *end || !(speed >= 0 && speed <= 1000)) {
                error = "--speed wants a number from 0 to 1000, not " + value;
                return false;
            }
            options.speed = speed;
        }
    }
    if (options.tcp.empty() && options.usb.empty() && options.rs232.empty()) {
        error = "no front end: give --tcp HOST:PORT, --usb PATH or --rs232 PATH (see --help)";
        return false;
    }
    return true;
}

} // namespace korvo::sim
