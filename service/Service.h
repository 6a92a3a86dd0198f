// The print service without its HTTP face: printers and their workers, the
// journal, accepting tasks exactly once by their id, and waiting for them.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Journal.h"
#include "PrinterWorker.h"
#include "Requests.h"

namespace korvod {

class Metrics;

class Service : public TaskEvents {
public:
    // keepDays: done and failed tasks are forgotten that many days after
    // they ended (0: never).
    Service(Journal& journal, Metrics& metrics, const CommandHeads& heads, int keepDays);
    ~Service() override;

    void AddPrinter(const PrinterConfig& config);
    void Start();
    // Answers every waiting request with the task as it stands and takes no
    // new ones: the first step of stopping.
    void ReleaseWaiters();
    // Lets each worker finish its task and stop.
    void Stop();

    PrinterWorker* Printer(const std::string& name);
    std::vector<PrinterWorker*> Printers();

    struct Submission {
        enum class Kind { Accepted, Replay, Join, Conflict, BadRequest, Failed };
        Kind kind = Kind::Failed;
        TaskRecord task;
        RequestError error; // BadRequest
        std::string message; // Failed
    };
    Submission Submit(const std::string& printer, TaskKind kind, const std::string& body);

    // The task once it is done or failed, or as it stands at the deadline
    // (or when korvod stops).
    std::optional<TaskRecord> Wait(const std::string& id, std::chrono::steady_clock::time_point deadline);
    std::optional<TaskRecord> Find(const std::string& id) { return journal.Find(id); }
    std::vector<TaskRecord> Recent(size_t limit) { return journal.Recent(limit); }
    // Takes back a task that has not started: false when it has.
    bool Cancel(const TaskRecord& task);

    void TaskChanged(const std::string& id, TaskState state) override;

private:
    std::string NewId();
    void Housekeeping();

    Journal& journal;
    Metrics& metrics;
    const CommandHeads& heads;
    std::map<std::string, std::unique_ptr<PrinterWorker>> workers;

    std::mutex mutex;
    std::condition_variable changed;
    std::set<std::string> open; // ids of tasks not yet done or failed
    bool stopping = false;
    std::atomic<uint32_t> counter{0};
    int keepDays;
    std::thread housekeeping;
};

} // namespace korvod
