// One printer's worker: a thread that alone drives the printer's connection,
// runs its tasks one after the other in the order they were accepted, keeps
// the connection (reconnecting with back-off while the printer is off or
// unplugged) and resolves every receipt whose exchange failed before it
// takes new work. Tasks wait in the journal while the printer is away.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ExactJson.h"
#include "Journal.h"
#include "PrinterLink.h"
#include "Requests.h"

namespace korvod {

class Metrics;

// Told of every change of a task's state (after the journal has it).
class TaskEvents {
public:
    virtual ~TaskEvents() = default;
    virtual void TaskChanged(const std::string& id, TaskState state) = 0;
};

struct PrinterConfig {
    std::string name;
    PrinterEndpoint endpoint;
    int responseTimeMs = 0;   // 0: the catalogue's time limits
    int reconnectMinMs = 250; // back-off between connection attempts
    int reconnectMaxMs = 10000;
    int checkIntervalMs = 10000; // an idle printer is looked at this often
};

// ready, busy, offline, recovering
enum class PrinterState { Ready, Busy, Offline, Recovering };
const char* PrinterStateName(PrinterState state);

struct PrinterSnapshot {
    std::string name;
    std::string connection;
    PrinterState state = PrinterState::Offline;
    bool connected = false;
    int lastError = 0;
    std::string lastErrorCommand;
    int64_t lastErrorMs = 0;
    size_t queued = 0;
    std::string currentTask;
    bool tried = false; // a connection was tried since the start
};

class PrinterWorker {
public:
    PrinterWorker(PrinterConfig config, Journal& journal, TaskEvents& events, Metrics& metrics,
                  const CommandHeads& heads);
    ~PrinterWorker();
    PrinterWorker(const PrinterWorker&) = delete;
    PrinterWorker& operator=(const PrinterWorker&) = delete;

    const PrinterConfig& Config() const { return config; }
    // Takes the printer's unfinished tasks from the journal and starts.
    void Start();
    // Finishes the task in progress, leaves the rest queued in the journal,
    // disconnects and ends the thread.
    void Stop();

    void Enqueue(const std::string& id);
    PrinterSnapshot Snapshot();

    // The printer's own report, read between tasks: false with error when the
    // printer is offline or does not get to it before the deadline.
    bool ReadStatus(Json& status, std::chrono::steady_clock::time_point deadline, Json& error);

private:
    struct Recovery {
        std::string id;
        Json refusal; // the printer's refusal that led to it, if any
    };
    struct StatusRequest {
        bool done = false;
        bool ok = false;
        Json status;
        Json error;
    };

    class Port;
    enum class Ran { Finished, Recover, Requeue };

    void Run();
    void SetState(PrinterState state);
    void NoteError(int code, const std::string& command);
    void WaitMs(int ms);
    void LinkLost();
    bool Persist(const std::function<bool(std::string&)>& write);
    int Send(const std::string& command, const std::string& parameters, std::string& values);

    bool RecoverNext();
    bool EnsureIdle();
    bool ServeStatusRequests();
    bool ReadStatusNow(Json& status, int& code);
    Ran RunTask(const TaskRecord& task);
    Ran RunReceipt(const TaskRecord& task, const std::vector<PlanStep>& steps, int attempt);
    Ran RunPlain(const TaskRecord& task, const std::vector<PlanStep>& steps, int attempt);
    void Finish(const TaskRecord& task, TaskState state, const std::string& outcome, bool recovered,
                const Json& result, const Json& error, const StepAnswer* answer);
    void Changed(const std::string& id, TaskState state);

    PrinterConfig config;
    Journal& journal;
    TaskEvents& events;
    Metrics& metrics;
    const CommandHeads& heads;
    PrinterLink link;

    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
    std::deque<std::string> queue;
    std::deque<Recovery> recoveries; // worker thread only
    std::deque<std::shared_ptr<StatusRequest>> statusRequests;
    std::condition_variable statusDone;
    PrinterSnapshot snapshot;
    int backoffMs;
    std::thread thread;
};

} // namespace korvod
