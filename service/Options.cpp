#include "Options.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Amount.h"
#include "BodyFields.h"
#include "ExactJson.h"

namespace korvod {

namespace {

// What a setting may be set to; the same for both sources.
struct Settings {
    std::string listen, db, token, tokenFile;
    bool listenSet = false, dbSet = false, tokenSet = false, tokenFileSet = false;
    std::vector<std::string> origins;
    bool originsSet = false;
    std::vector<std::pair<std::string, std::string>> printers; // name, endpoint
    std::vector<int> printerResponseTimes;                     // -1: the general one
    int responseTime = -1, reconnectMax = -1, checkInterval = -1, httpThreads = -1, keepDays = -1;
};

bool ResponseTime(int ms) { return ms == 0 || (ms >= 100 && ms <= 1800000); }

bool PrinterName(const std::string& name) { return IsIdentifier(name) && name.size() <= 32; }

bool ReadFile(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream all;
    all << in.rdbuf();
    text = all.str();
    return true;
}

bool LoadConfig(const std::string& path, Settings& s, std::string& error) {
    std::string text;
    if (!ReadFile(path, text, error)) return false;
    Json config = Json::parse(text, nullptr, false);
    if (config.is_discarded() || !config.is_object()) {
        error = path + ": not a JSON object";
        return false;
    }
    auto integer = [&](const char* key, long minimum, long maximum, int& out) {
        if (!config.contains(key)) return true;
        const Json& v = config[key];
        if (!v.is_number_integer() || v.get<long>() < minimum || v.get<long>() > maximum) {
            error = path + ": " + key + " must be an integer from " + std::to_string(minimum) + " to " +
                    std::to_string(maximum);
            return false;
        }
        out = v.get<int>();
        return true;
    };
    auto text_ = [&](const char* key, std::string& out, bool& set) {
        if (!config.contains(key)) return true;
        if (!config[key].is_string()) {
            error = path + ": " + key + " must be a string";
            return false;
        }
        out = config[key].get<std::string>();
        set = true;
        return true;
    };
    for (auto it = config.begin(); it != config.end(); ++it) {
        static const char* const known[] = {"listen",      "db",           "token",         "tokenFile",
                                            "origins",     "printers",     "responseTime",  "reconnectMax",
                                            "checkInterval", "httpThreads", "keepDays"};
        bool ok = false;
        for (const char* k : known)
            ok = ok || it.key() == k;
        if (!ok) {
            error = path + ": unknown setting " + it.key();
            return false;
        }
    }
    if (!text_("listen", s.listen, s.listenSet) || !text_("db", s.db, s.dbSet) ||
        !text_("token", s.token, s.tokenSet) || !text_("tokenFile", s.tokenFile, s.tokenFileSet) ||
        !integer("responseTime", 0, 1800000, s.responseTime) || !integer("reconnectMax", 100, 600000, s.reconnectMax) ||
        !integer("checkInterval", 100, 3600000, s.checkInterval) || !integer("httpThreads", 2, 256, s.httpThreads) ||
        !integer("keepDays", 0, 36500, s.keepDays))
        return false;
    if (s.responseTime > 0 && !ResponseTime(s.responseTime)) {
        error = path + ": responseTime must be 0 or 100 to 1800000";
        return false;
    }
    if (config.contains("origins")) {
        const Json& o = config["origins"];
        if (!o.is_array()) {
            error = path + ": origins must be an array of strings";
            return false;
        }
        for (const Json& v : o) {
            if (!v.is_string()) {
                error = path + ": origins must be an array of strings";
                return false;
            }
            s.origins.push_back(v.get<std::string>());
        }
        s.originsSet = true;
    }
    if (config.contains("printers")) {
        const Json& list = config["printers"];
        if (!list.is_array()) {
            error = path + ": printers must be an array of {\"name\", \"connection\"}";
            return false;
        }
        for (const Json& p : list) {
            if (!p.is_object() || !p.contains("name") || !p["name"].is_string() || !p.contains("connection") ||
                !p["connection"].is_string()) {
                error = path + ": each printer needs a \"name\" and a \"connection\"";
                return false;
            }
            int responseTime = -1;
            for (auto it = p.begin(); it != p.end(); ++it) {
                if (it.key() == "name" || it.key() == "connection") continue;
                if (it.key() == "responseTime" && it->is_number_integer() && ResponseTime(it->get<int>())) {
                    responseTime = it->get<int>();
                    continue;
                }
                error = path + ": printer setting " + it.key() + " is unknown or out of range";
                return false;
            }
            s.printers.emplace_back(p["name"].get<std::string>(), p["connection"].get<std::string>());
            s.printerResponseTimes.push_back(responseTime);
        }
    }
    return true;
}

} // namespace

bool IsLoopbackHost(const std::string& host) {
    if (host == "localhost" || host == "::1") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    return false;
}

bool ParseListen(const std::string& text, std::string& host, int& port) {
    size_t colon = text.rfind(':');
    if (colon == std::string::npos || !ParseWholeNumber(text.substr(colon + 1), 0, 65535, port)) return false;
    host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
        in6_addr v6{};
        return inet_pton(AF_INET6, host.c_str(), &v6) == 1;
    }
    return !host.empty() && host.find(':') == std::string::npos;
}

const char* UsageText() {
    return "Usage: korvod [OPTION]...\n"
           "The local print service of the korvocomm kit: owns the fiscal printers of one point of\n"
           "sale and gives every application an HTTP/JSON interface to them, with receipts that\n"
           "are registered exactly once, also across time-outs, dropped links, printer restarts\n"
           "and a crash of the service. Prints \"korvod: listening on http://HOST:PORT\", serves\n"
           "until SIGINT or SIGTERM, finishes the task in progress, disconnects and exits 0.\n"
           "\n"
           "  --listen HOST:PORT    where to listen (default 127.0.0.1:8780; [::1]:PORT for IPv6;\n"
           "                        port 0 picks a free port). An address other than loopback\n"
           "                        requires a token.\n"
           "  --db FILE             the task journal (SQLite), created when missing. Required.\n"
           "  --printer NAME=ENDPOINT\n"
           "                        a printer (repeatable). NAME: letters, digits, - _ . (up to 32).\n"
           "                        ENDPOINT: tcp:HOST:PORT, usb:COMn or rs232:COMn:SPEED:ADDRESS.\n"
           "                        On Linux COMn is $KORVOCOMM_PORTS/comn, else /dev/ttyS<n-1>.\n"
           "  --config FILE         a JSON file with the same settings: {\"listen\", \"db\", \"token\",\n"
           "                        \"tokenFile\", \"origins\": [...], \"printers\": [{\"name\",\n"
           "                        \"connection\", \"responseTime\"}], \"responseTime\",\n"
           "                        \"reconnectMax\", \"checkInterval\", \"httpThreads\", \"keepDays\"}. Options\n"
           "                        given on the command line win.\n"
           "  --token TOKEN         requests must carry \"Authorization: Bearer TOKEN\".\n"
           "  --token-file FILE     the token from the first line of FILE (keeps it out of ps).\n"
           "  --origin ORIGIN       a web origin (https://pos.example) whose pages may call the\n"
           "                        service from a browser (CORS, with Private Network Access);\n"
           "                        repeatable. Other origins are refused.\n"
           "  --response-time MS    a time limit for every printer command in place of the\n"
           "                        catalogue's (100 to 1800000; 0, the default, keeps them).\n"
           "  --reconnect-max MS    the longest wait between connection attempts to a printer\n"
           "                        that is off or unplugged (default 10000; they start at 250).\n"
           "  --check-interval MS   how often an idle printer is looked at (default 10000).\n"
           "  --http-threads N      requests served at the same time (default 16).\n"
           "  --keep-days N         done and failed tasks are kept N days after they ended\n"
           "                        (default 400; 0 keeps them for ever). A receipt id forgotten\n"
           "                        this way prints again when it is posted again.\n"
           "  --version             prints the version.\n"
           "  --help                shows this text.\n"
           "\n"
           "API under /v1 (JSON in UTF-8; texts go to the printer in Windows-1250):\n"
           "  GET  /v1/printers                       printers, their state and last error\n"
           "  GET  /v1/printers/NAME/status           what the printer reports\n"
           "  POST /v1/printers/NAME/receipts         a fiscal receipt; \"id\" is its unique key\n"
           "  POST /v1/printers/NAME/cash             a deposit or withdrawal receipt\n"
           "  POST /v1/printers/NAME/documents        a non-fiscal document\n"
           "  POST /v1/printers/NAME/reports/x        an X report (reports/z: a Z report)\n"
           "  POST /v1/printers/NAME/commands         any catalogue command\n"
           "  GET  /v1/tasks, /v1/tasks/ID            recent tasks, one task\n"
           "  DELETE /v1/tasks/ID                     takes back a task that has not started\n"
           "  GET  /metrics                           Prometheus metrics\n"
           "  GET  /                                  the operator's page\n"
           "POST answers 200 when the task is done, 202 with a Location header when it is not\n"
           "finished within ?wait=MS (default 60000), 400 malformed, 401 token, 404 unknown,\n"
           "409 an id reused for another body, 413 body over 1 MiB, 422 refused by the printer,\n"
           "503 printer unreachable. A receipt POSTed again answers its stored result.\n"
           "See korvod(1).\n";
}

bool ParseOptions(int argc, const char* const* argv, ServiceOptions& options, std::string& error) {
    Settings config, command;
    std::string configFile;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            return true;
        }
        if (option == "--version") {
            options.version = true;
            return true;
        }
        static const char* const withValue[] = {"--listen",        "--db",           "--printer",
                                                "--config",        "--token",        "--token-file",
                                                "--origin",        "--response-time", "--reconnect-max",
                                                "--check-interval", "--http-threads", "--keep-days"};
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
        if (option == "--listen") {
            command.listen = value;
            command.listenSet = true;
        } else if (option == "--db") {
            command.db = value;
            command.dbSet = true;
        } else if (option == "--printer") {
            size_t eq = value.find('=');
            if (eq == std::string::npos) {
                error = "--printer wants NAME=ENDPOINT, not " + value;
                return false;
            }
            command.printers.emplace_back(value.substr(0, eq), value.substr(eq + 1));
            command.printerResponseTimes.push_back(-1);
        } else if (option == "--config") {
            configFile = value;
        } else if (option == "--token") {
            command.token = value;
            command.tokenSet = true;
        } else if (option == "--token-file") {
            command.tokenFile = value;
            command.tokenFileSet = true;
        } else if (option == "--origin") {
            command.origins.push_back(value);
            command.originsSet = true;
        } else {
            int number = 0;
            bool ok;
            if (option == "--response-time") {
                ok = ParseWholeNumber(value, 0, 1800000, number) && ResponseTime(number);
                command.responseTime = number;
            } else if (option == "--reconnect-max") {
                ok = ParseWholeNumber(value, 100, 600000, number);
                command.reconnectMax = number;
            } else if (option == "--check-interval") {
                ok = ParseWholeNumber(value, 100, 3600000, number);
                command.checkInterval = number;
            } else if (option == "--keep-days") {
                ok = ParseWholeNumber(value, 0, 36500, number);
                command.keepDays = number;
            } else {
                ok = ParseWholeNumber(value, 2, 256, number);
                command.httpThreads = number;
            }
            if (!ok) {
                error = option + ": " + value + " is out of range (see --help)";
                return false;
            }
        }
    }
    if (!configFile.empty() && !LoadConfig(configFile, config, error)) return false;

    // The command line wins; its printers replace the file's of the same name.
    Settings s = config;
    if (command.listenSet) s.listen = command.listen, s.listenSet = true;
    if (command.dbSet) s.db = command.db, s.dbSet = true;
    if (command.tokenSet) s.token = command.token, s.tokenSet = true;
    if (command.tokenFileSet) s.tokenFile = command.tokenFile, s.tokenFileSet = true;
    if (command.originsSet) s.origins = command.origins;
    if (command.responseTime >= 0) s.responseTime = command.responseTime;
    if (command.reconnectMax >= 0) s.reconnectMax = command.reconnectMax;
    if (command.checkInterval >= 0) s.checkInterval = command.checkInterval;
    if (command.httpThreads >= 0) s.httpThreads = command.httpThreads;
    if (command.keepDays >= 0) s.keepDays = command.keepDays;
    for (size_t i = 0; i < command.printers.size(); ++i) {
        bool replaced = false;
        for (size_t j = 0; j < s.printers.size(); ++j) {
            if (s.printers[j].first == command.printers[i].first) {
                s.printers[j] = command.printers[i];
                s.printerResponseTimes[j] = -1;
                replaced = true;
            }
        }
        if (!replaced) {
            s.printers.push_back(command.printers[i]);
            s.printerResponseTimes.push_back(-1);
        }
    }

    if (s.listenSet && !ParseListen(s.listen, options.listenHost, options.listenPort)) {
        error = "--listen wants HOST:PORT or [IPv6]:PORT, not " + s.listen;
        return false;
    }
    if (!s.dbSet || s.db.empty()) {
        error = "--db FILE is required (the task journal)";
        return false;
    }
    options.db = s.db;
    if (s.tokenFileSet) {
        std::string text;
        if (!ReadFile(s.tokenFile, text, error)) return false;
        s.token = text.substr(0, text.find_first_of("\r\n"));
        if (s.token.empty()) {
            error = s.tokenFile + ": holds no token";
            return false;
        }
    }
    options.token = s.token;
    for (char c : options.token) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F) {
            error = "the token must be printable ASCII without blanks";
            return false;
        }
    }
    if (!IsLoopbackHost(options.listenHost) && options.token.empty()) {
        error = "listening on " + options.listenHost +
                ", which is not loopback, needs a token (--token or --token-file)";
        return false;
    }
    options.origins = s.origins;
    if (s.httpThreads > 0) options.httpThreads = s.httpThreads;
    if (s.keepDays >= 0) options.keepDays = s.keepDays;
    if (s.printers.empty()) {
        error = "no printer: give at least one --printer NAME=ENDPOINT";
        return false;
    }
    for (size_t i = 0; i < s.printers.size(); ++i) {
        PrinterConfig p;
        p.name = s.printers[i].first;
        if (!PrinterName(p.name)) {
            error = "printer name " + p.name + ": letters, digits, -, _ and . only, up to 32";
            return false;
        }
        for (const PrinterConfig& other : options.printers) {
            if (other.name == p.name) {
                error = "printer " + p.name + " is given twice";
                return false;
            }
        }
        std::string why;
        if (!ParsePrinterEndpoint(s.printers[i].second, p.endpoint, why)) {
            error = "printer " + p.name + ": " + why;
            return false;
        }
        p.responseTimeMs = s.printerResponseTimes[i] >= 0 ? s.printerResponseTimes[i]
                                                          : (s.responseTime > 0 ? s.responseTime : 0);
        if (s.reconnectMax > 0) p.reconnectMaxMs = s.reconnectMax;
        if (p.reconnectMinMs > p.reconnectMaxMs) p.reconnectMinMs = p.reconnectMaxMs;
        if (s.checkInterval > 0) p.checkIntervalMs = s.checkInterval;
        options.printers.push_back(p);
    }
    return true;
}

} // namespace korvod
