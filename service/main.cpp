// korvod: the local print service. Reads its settings, opens the journal,
// starts one worker per printer and the HTTP API, and serves until SIGINT or
// SIGTERM; then it lets the workers finish the task in progress, disconnects
// the printers and exits 0.
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

#include "HttpApi.h"
#include "Journal.h"
#include "Log.h"
#include "Metrics.h"
#include "Options.h"
#include "PrinterLink.h"
#include "Service.h"
#include "korvo_version.h"

int main(int argc, char** argv) {
    using namespace korvod;
    ServiceOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "korvod: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(UsageText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("korvod %s\n", KORVO_VERSION);
        return 0;
    }

    // The signals are taken by one thread with sigwait; every other thread
    // inherits the mask set here, before any of them starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Journal journal;
    if (!journal.Open(options.db, error)) {
        std::fprintf(stderr, "korvod: %s\n", error.c_str());
        return 1;
    }
    Metrics metrics;
    LibraryHeads heads;
    Service service(journal, metrics, heads, options.keepDays);
    for (const PrinterConfig& printer : options.printers)
        service.AddPrinter(printer);

    HttpApi api(service, journal, metrics, options);
    int port = api.Bind(error);
    if (port < 0) {
        std::fprintf(stderr, "korvod: %s\n", error.c_str());
        return 1;
    }
    service.Start();
    bool v6 = options.listenHost.find(':') != std::string::npos;
    std::printf("korvod: listening on http://%s%s%s:%d\n", v6 ? "[" : "", options.listenHost.c_str(), v6 ? "]" : "",
                port);
    std::fflush(stdout);

    std::thread signals([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        Log(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
        // Waiting requests are answered first: the server waits for them.
        service.ReleaseWaiters();
        api.Stop();
    });
    api.Serve();
    // Serve also ends when listening fails; then the signal thread is woken
    // by a signal of our own.
    pthread_kill(signals.native_handle(), SIGTERM);
    signals.join();
    service.Stop();
    journal.Close();
    Log("stopped");
    return 0;
}
