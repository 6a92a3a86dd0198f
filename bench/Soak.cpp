// Soak runs: thousands of state-changing commands (header lines set and read
// back, whole receipts, voids) through the library's exports against korvosim
// under its random faults (--chaos), counted against korvosim's journal.
//
//   bench_soak            the full table, all runs side by side for 20 minutes:
//                         RS-232 at 115200 (three runs at 5 % corrupted / 2 %
//                         lost, one at 20 % / 10 %) and at 9600 baud
//                         (throttled), TCP and USB, each at 5 % / 2 % and at
//                         20 % / 10 %: over 100 000 RS-232 commands in all
//   bench_soak --short    the same kinds, one run each, side by side for 50 s
//   bench_soak --run KIND[:BAUD][:CORRUPT:LOST]...   runs of one's own
//
// KIND is rs232, rs232t (throttled to the line rate), tcp or usb; rates in
// percent (rs232t:9600:20:10). --seconds S or --commands N sets the length of
// every run, --seed N the chaos seed of the first (the others count up from
// it), --jobs N how many runs go at once, --link-faults FILE adds the station
// faults of a file (korvosim's --link-fault arguments) to every RS-232 run,
// --keep DIR keeps each run's journal, the list of commands sent with their
// times and results, and the RS-232 line as the station had it. The exit
// code is 1 when a command was executed twice, lost or executed unasked, a
// run needed a reconnect (korvosim is there all the time), or a run could not
// be made.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "SoakCount.h"
#include "korvocomm.h"
#include "sim/records/JournalEscape.h"
#include "sim/serve/Simulator.h"
#include "sim/values/CivilTime.h"

namespace {

using Clock = std::chrono::steady_clock;
using korvo::soak::Counts;
using korvo::soak::SentCommand;

// Time limits: a command waits next_cmd_time + 2 x link_transfer_time + the
// connection's allowance. Over TCP and USB 300 + 100 + 100 ms, so that a
// lost answer costs half a second and about half of the delayed answers
// (korvosim delays lines by up to a second) come after the limit, during the
// next command's wait. Over RS-232 1000 ms and the link's own allowance
// (600 ms at 115200 baud, 1100 ms at 9600), time for the link to recover.
constexpr const char* kRs232CommandMs = "1000";
constexpr const char* kLineCommandMs = "300";
constexpr const char* kLineTransferMs = "50";
// A connection that fails this many commands in a row is given up.
constexpr int kFailuresBeforeReconnect = 20;
// How long a connect goes on trying.
constexpr int kConnectSeconds = 15;
constexpr double kShortSeconds = 50;
constexpr double kFullSeconds = 1200;

struct RunPlan {
    std::string kind = "rs232"; // rs232, tcp, usb
    bool throttle = false;
    uint32_t baud = 115200;
    double corrupt = 5, lost = 2; // percent
    double seconds = 0;
    uint64_t commands = 0;
    uint64_t seed = 1;
    std::vector<std::string> linkFaults;

    std::string Label() const {
        char text[96];
        if (kind == "rs232")
            std::snprintf(text, sizeof text, "RS-232 %u%s %g%%/%g%%", baud, throttle ? " thr." : "",
                          corrupt, lost);
        else
            std::snprintf(text, sizeof text, "%s %g%%/%g%%", kind == "tcp" ? "TCP" : "USB",
                          corrupt, lost);
        return text;
    }
};

bool ParsePlan(const std::string& text, RunPlan& plan) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string p; std::getline(in, p, ':');)
        parts.push_back(p);
    if (parts.empty()) return false;
    plan.kind = parts[0];
    if (plan.kind == "rs232t") {
        plan.kind = "rs232";
        plan.throttle = true;
    }
    if (plan.kind != "rs232" && plan.kind != "tcp" && plan.kind != "usb") return false;
    size_t i = 1;
    if (plan.kind == "rs232" && parts.size() != 3 && parts.size() > 1) {
        plan.baud = static_cast<uint32_t>(std::strtoul(parts[i++].c_str(), nullptr, 10));
        if (plan.baud < 1200) return false;
    }
    if (parts.size() == i + 2) {
        plan.corrupt = std::atof(parts[i].c_str());
        plan.lost = std::atof(parts[i + 1].c_str());
        i += 2;
    }
    return i == parts.size() && plan.corrupt >= 0 && plan.lost >= 0 &&
           plan.corrupt + 2 * plan.lost <= 100;
}

// One command by the name the application uses, and the short name that its
// request line carries.
struct Command {
    const char* name;
    const char* shortName;
    std::string parameters;
};

// The request line as korvosim's journal shows it.
std::string Wire(const Command& c) {
    std::string line = std::string(c.shortName) + "\tREQ";
    if (!c.parameters.empty()) line += "\t" + c.parameters;
    std::string escaped;
    korvo::sim::AppendEscaped(escaped, line.data(), line.size());
    return escaped;
}

// Results that say the connection is gone: only then does the client
// connect again at once. Anything else is one failed exchange.
bool ConnectionGone(int32_t r) {
    return r == APP_TCP_CONNECTION_BROKEN || r == APP_TCP_CONNECTION_CLOSED ||
           r == APP_TCP_CONNECTION_RESET || r == APP_CAN_NOT_SEND_DATA || r == APP_DISCONNECTED ||
           r == APP_INVALID_HANDLE || r == APP_TERMINATED || r == APP_COMM_THREAD_ERROR ||
           r == APP_READING_DATA_ERROR;
}

// A point-of-sale application on one connection.
class Client {
public:
    Client(const RunPlan& s, std::string target) : plan(s), where(std::move(target)) {}
    ~Client() { Close(); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    bool Connect() {
        // Under faults the handshake itself may fail a few times, and with
        // many runs side by side on a busy machine for some seconds.
        const Clock::time_point until = Clock::now() + std::chrono::seconds(kConnectSeconds);
        while (handle <= 0) {
            if (plan.kind == "tcp")
                handle = ConnectTCP(where.c_str());
            else if (plan.kind == "usb")
                handle = ConnectUSB(where.c_str());
            else
                handle = ConnectRS232(where.c_str(), static_cast<int>(plan.baud), 2);
            if (handle > 0 || Clock::now() >= until) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (handle <= 0) return false;
        if (plan.kind != "rs232") SetConfigValue(handle, "link_transfer_time", kLineTransferMs);
        return true;
    }

    int32_t Send(const Command& c) {
        if (handle <= 0 && !Reconnect()) return APP_INVALID_HANDLE;
        // Every command under the same short limit: the catalogue's 30 s
        // for a receipt's beginning and 85 s for its end would stall the run
        // at every lost answer.
        SetConfigValue(handle, "next_cmd_time", plan.kind == "rs232" ? kRs232CommandMs : kLineCommandMs);
        const int64_t at = korvo::sim::HostLocalMilliseconds();
        int32_t r = SendCommand(handle, c.name, c.parameters.c_str());
        sent.push_back({Wire(c), r, at});
        failuresInRow = r < 0 ? failuresInRow + 1 : 0;
        if (ConnectionGone(r) || failuresInRow >= kFailuresBeforeReconnect) Reconnect();
        return r;
    }

    bool Reconnect() {
        ++reconnects;
        failuresInRow = 0;
        Close();
        return Connect();
    }

    void Close() {
        if (handle > 0) Disconnect(handle);
        handle = 0;
    }

    std::vector<SentCommand> sent;
    uint64_t reconnects = 0;

private:
    const RunPlan& plan;
    std::string where;
    int handle = 0;
    int failuresInRow = 0;
};

// One round: a header line set and read back, then a receipt; every tenth
// receipt is voided. A failed step of the receipt is followed by a void and
// the end of the receipt, as a point-of-sale application would do.
void Round(Client& client, uint64_t k) {
    const std::string n = std::to_string(k);
    // The header line changes round by round, so that the same request
    // recurs only every nine rounds.
    const int line = static_cast<int>(k % 9);
    client.Send({"setHeaderLines", "sHL",
                 std::string(static_cast<size_t>(line), '\t') + "S" + n + (line < 8 ? "\t" : "")});
    client.Send({"getHeaderLine", "gHL", std::to_string(line + 1)});
    bool ok = client.Send({"beginFiscalReceipt", "bFR", "1\t0\tT" + n}) == 0 &&
              client.Send({"printRecItem", "pRI", "Item " + n + "\t1.00\t1.000\t1\t\t\t\t\t\t"}) == 0;
    if (k % 10 == 9) {
        ok = ok && client.Send({"printRecVoid", "pRV", "V" + n}) == 0 &&
             client.Send({"endFiscalReceipt", "eFR", "0"}) == 0;
    } else {
        ok = ok && client.Send({"printRecTotal", "pRT", "1.00\t1.00\t1\tP" + n + "\t"}) == 0 &&
             client.Send({"endFiscalReceipt", "eFR", "1"}) == 0;
    }
    if (!ok) {
        client.Send({"printRecVoid", "pRV", "R" + n});
        client.Send({"endFiscalReceipt", "eFR", "0"});
    }
}

struct Result {
    Counts counts;
    double seconds = 0;
    bool ok = false;
    std::string error;
};

// Run number index has its own directory, port name and journal.
Result RunOne(const RunPlan& plan, size_t index, const std::string& dir, const std::string& keep) {
    Result result;
    const std::string own = dir + "/run" + std::to_string(index);
    const std::string journal = own + "/journal.txt";
    const std::string port = "COM" + std::to_string(10 + index);
    std::filesystem::create_directories(own);

    korvo::sim::SimulatorOptions options;
    options.journalFile = journal;
    options.chaos.seed = plan.seed;
    options.chaos.corrupt = plan.corrupt / 100;
    options.chaos.lose = plan.lost / 100;
    options.chaos.delay = plan.lost / 200;
    options.chaos.repeat = plan.lost / 200;
    const std::string device = dir + "/com" + std::to_string(10 + index);
    if (plan.kind == "tcp") {
        options.tcp.push_back("127.0.0.1:0");
    } else if (plan.kind == "usb") {
        options.usb.push_back(device);
    } else {
        korvo::sim::Rs232Options rs232;
        rs232.path = device;
        rs232.baudRate = plan.baud;
        rs232.throttle = plan.throttle;
        rs232.faults = plan.linkFaults;
        options.rs232.push_back(rs232);
    }
    korvo::sim::Simulator simulator(options);
    if (!simulator.Start(result.error)) return result;
    // With --keep, the RS-232 line as the station had it: what reached it
    // (a repeated frame twice, a lost one not at all) and what it sent.
    std::ofstream line;
    if (!keep.empty() && plan.kind == "rs232") {
        line.open(own + "/line.txt");
        simulator.Rs232(0)->SetRecorder([&line](bool fromPrimary, const std::string& bytes) {
            const int64_t ms = korvo::sim::HostLocalMilliseconds();
            char head[32];
            std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d %c",
                          static_cast<int>(ms / 3600000 % 24), static_cast<int>(ms / 60000 % 60),
                          static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000),
                          fromPrimary ? '>' : '<');
            line << head;
            for (unsigned char c : bytes) {
                char hex[4];
                std::snprintf(hex, sizeof hex, " %02X", c);
                line << hex;
            }
            line << '\n';
        });
    }
    const std::string target =
        plan.kind == "tcp" ? "127.0.0.1:" + std::to_string(simulator.TcpPort()) : port;

    const Clock::time_point start = Clock::now();
    Client client(plan, target);
    if (!client.Connect()) {
        result.error = "cannot connect to " + target;
        return result;
    }
    for (uint64_t k = 0;; ++k) {
        if (plan.commands && client.sent.size() >= plan.commands) break;
        if (plan.seconds > 0 &&
            std::chrono::duration<double>(Clock::now() - start).count() >= plan.seconds)
            break;
        Round(client, k);
    }
    client.Close();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    simulator.Stop();

    bool read = false;
    std::vector<korvo::soak::Execution> executed = korvo::soak::ExecutedRequests(journal, read);
    if (!read) {
        result.error = "cannot read " + journal;
        return result;
    }
    std::vector<uint32_t> runs;
    result.counts = korvo::soak::Reckon(client.sent, executed, &runs);
    result.counts.reconnects = client.reconnects;
    result.ok = true;
    if (!keep.empty()) {
        std::filesystem::create_directories(keep);
        const std::string name = keep + "/seed" + std::to_string(plan.seed);
        std::filesystem::copy_file(journal, name + "-journal.txt",
                                   std::filesystem::copy_options::overwrite_existing);
        if (line.is_open()) {
            line.close();
            std::filesystem::copy_file(own + "/line.txt", name + "-line.txt",
                                       std::filesystem::copy_options::overwrite_existing);
        }
        std::ofstream out(name + "-sent.txt");
        for (size_t i = 0; i < client.sent.size(); ++i)
            out << client.sent[i].sentMs << ' ' << client.sent[i].result << " runs "
                << runs[i] << ' ' << client.sent[i].wire << '\n';
    }
    std::filesystem::remove_all(own);
    return result;
}

void PrintHeader() {
    std::printf("%-24s %5s %7s %7s %6s %5s %6s %8s %6s %6s %7s\n", "run", "seed", "sent", "ret. 0",
                "twice", "lost", "stale", "unknown", "stray", "recon", "cmd/s");
}

void PrintRow(const std::string& label, uint64_t seed, const Result& r) {
    const Counts& c = r.counts;
    auto u = [](uint64_t v) { return static_cast<unsigned long long>(v); };
    std::printf("%-24s %5llu %7llu %7llu %6llu %5llu %6llu %8llu %6llu %6llu %7.1f\n",
                label.c_str(), u(seed), u(c.sent), u(c.returnedZero), u(c.executedTwice),
                u(c.lost), u(c.staleAnswer), u(c.outcomeUnknown), u(c.strayRuns), u(c.reconnects),
                r.seconds > 0 ? static_cast<double>(c.sent) / r.seconds : 0.0);
    if (!r.ok) std::printf("  %s: %s\n", label.c_str(), r.error.c_str());
    std::fflush(stdout);
}

std::vector<std::string> ReadLinkFaults(const std::string& path, bool& ok) {
    std::vector<std::string> faults;
    std::ifstream in(path);
    ok = static_cast<bool>(in);
    for (std::string token; in >> token;)
        if (token != "--link-fault") faults.push_back(token);
    return faults;
}

int Usage() {
    std::fprintf(stderr, "usage: bench_soak [--short] [--run KIND[:BAUD][:CORRUPT:LOST]]... "
                         "[--seconds S] [--commands N] [--seed N] [--jobs N] "
                         "[--link-faults FILE] [--keep DIR]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<RunPlan> runs;
    bool shortRun = false;
    double seconds = 0;
    uint64_t commands = 0;
    uint64_t seed = 1;
    size_t jobs = 0;
    std::string keep;
    std::vector<std::string> linkFaults;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool more = i + 1 < argc;
        if (a == "--short") {
            shortRun = true;
        } else if (a == "--run" && more) {
            RunPlan plan;
            if (!ParsePlan(argv[++i], plan)) return Usage();
            runs.push_back(plan);
        } else if (a == "--seconds" && more) {
            seconds = std::atof(argv[++i]);
        } else if (a == "--commands" && more) {
            commands = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--seed" && more) {
            seed = std::strtoull(argv[++i], nullptr, 10);
        } else if (a == "--jobs" && more) {
            jobs = std::strtoul(argv[++i], nullptr, 10);
            if (jobs == 0) return Usage();
        } else if (a == "--keep" && more) {
            keep = argv[++i];
        } else if (a == "--link-faults" && more) {
            bool ok = false;
            linkFaults = ReadLinkFaults(argv[++i], ok);
            if (!ok) return Usage();
        } else {
            return Usage();
        }
    }
    if (runs.empty()) {
        // Every run mostly waits for its line, so that all go side by side:
        // the full run takes kFullSeconds, the short one kShortSeconds.
        // Three runs at 115200 baud and 5 % / 2 % in the full run, with
        // seeds of their own, for the 100 000 RS-232 commands.
        struct Row {
            const char* plan;
            bool fullOnly;
        };
        const Row table[] = {
            {"rs232:115200:20:10", false}, {"rs232:115200:5:2", false},
            {"rs232t:9600:20:10", false},  {"rs232t:9600:5:2", false},
            {"tcp:20:10", false},          {"tcp:5:2", false},
            {"usb:20:10", false},          {"usb:5:2", false},
            {"rs232:115200:5:2", true},    {"rs232:115200:5:2", true},
        };
        for (const Row& row : table) {
            if (shortRun && row.fullOnly) continue;
            RunPlan plan;
            ParsePlan(row.plan, plan);
            plan.seconds = shortRun ? kShortSeconds : kFullSeconds;
            runs.push_back(plan);
        }
        if (jobs == 0) jobs = runs.size();
    }
    if (jobs == 0) jobs = 1;
    for (size_t i = 0; i < runs.size(); ++i) {
        RunPlan& plan = runs[i];
        plan.seed = seed + i;
        if (seconds > 0) plan.seconds = seconds;
        if (commands > 0) {
            plan.commands = commands;
            if (seconds <= 0) plan.seconds = 0;
        }
        if (plan.seconds <= 0 && plan.commands == 0) plan.seconds = 10;
        if (plan.kind == "rs232") plan.linkFaults = linkFaults;
    }

    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("korvo-soak-" + std::to_string(static_cast<long>(getpid()))))
                                .string();
    std::filesystem::create_directories(dir);
    setenv("KORVOCOMM_PORTS", dir.c_str(), 1);

    PrintHeader();
    std::vector<Result> results(runs.size());
    std::atomic<size_t> next{0};
    std::mutex printing;
    auto work = [&] {
        for (size_t i; (i = next++) < runs.size();) {
            results[i] = RunOne(runs[i], i, dir, keep);
            std::lock_guard<std::mutex> lock(printing);
            PrintRow(runs[i].Label(), runs[i].seed, results[i]);
        }
    };
    std::vector<std::thread> workers;
    for (size_t j = 0; j < std::min(jobs, runs.size()); ++j)
        workers.emplace_back(work);
    for (std::thread& t : workers)
        t.join();
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);

    Counts total, rs232;
    bool ok = true;
    for (size_t i = 0; i < runs.size(); ++i) {
        ok = ok && results[i].ok;
        total.Add(results[i].counts);
        if (runs[i].kind == "rs232") rs232.Add(results[i].counts);
    }
    auto u = [](uint64_t v) { return static_cast<unsigned long long>(v); };
    std::printf("RS-232 in all: %llu commands, %llu executed twice, %llu lost, %llu outcome "
                "unknown, %llu reconnects\n",
                u(rs232.sent), u(rs232.executedTwice), u(rs232.lost), u(rs232.outcomeUnknown),
                u(rs232.reconnects));
    std::printf("In all: %llu commands, %llu executed twice, %llu lost, %llu stale answers, %llu "
                "outcome unknown, %llu reconnects\n",
                u(total.sent), u(total.executedTwice), u(total.lost), u(total.staleAnswer),
                u(total.outcomeUnknown), u(total.reconnects));
    const bool sound = total.executedTwice == 0 && total.lost == 0 && total.strayRuns == 0;
    if (!sound) std::printf("FAILED: commands executed twice, lost or executed unasked\n");
    // The printer is there all the time: the link must recover on its own.
    if (total.reconnects != 0) std::printf("FAILED: reconnects while the printer was there\n");
    if (!ok) std::printf("FAILED: a run could not be made\n");
    return ok && sound && total.reconnects == 0 ? 0 : 1;
}
