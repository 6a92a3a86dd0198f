#include "Service.h"

#include <cstdio>

#include "ErrorReport.h"
#include "Log.h"

namespace korvod {

Service::Service(Journal& journal, Metrics& metrics, const CommandHeads& heads, int keepDays)
    : journal(journal), metrics(metrics), heads(heads), keepDays(keepDays) {}

Service::~Service() { Stop(); }

void Service::AddPrinter(const PrinterConfig& config) {
    workers[config.name] = std::make_unique<PrinterWorker>(config, journal, *this, metrics, heads);
}

void Service::Start() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (auto& [name, worker] : workers)
            for (const TaskRecord& task : journal.Unfinished(name))
                open.insert(task.id);
    }
    for (auto& [name, worker] : workers)
        worker->Start();
    if (keepDays > 0) housekeeping = std::thread([this] { Housekeeping(); });
}

void Service::Housekeeping() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
        lock.unlock();
        std::string error;
        int64_t removed = journal.Prune(NowMs() - int64_t{keepDays} * 86400000, error);
        if (removed < 0) Log("the journal could not be pruned: " + error);
        if (removed > 0) Log("forgot " + std::to_string(removed) + " tasks older than " +
                             std::to_string(keepDays) + " days");
        lock.lock();
        changed.wait_for(lock, std::chrono::hours(6), [this] { return stopping; });
    }
}

void Service::ReleaseWaiters() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
}

void Service::Stop() {
    ReleaseWaiters();
    if (housekeeping.joinable()) housekeeping.join();
    for (auto& [name, worker] : workers)
        worker->Stop();
}

PrinterWorker* Service::Printer(const std::string& name) {
    auto it = workers.find(name);
    return it == workers.end() ? nullptr : it->second.get();
}

std::vector<PrinterWorker*> Service::Printers() {
    std::vector<PrinterWorker*> out;
    for (auto& [name, worker] : workers)
        out.push_back(worker.get());
    return out;
}

std::string Service::NewId() {
    char id[48];
    std::snprintf(id, sizeof id, "t-%llx-%u", static_cast<unsigned long long>(NowMs()), ++counter);
    return id;
}

Service::Submission Service::Submit(const std::string& printer, TaskKind kind, const std::string& body) {
    Submission out;
    TaskPlan plan;
    if (!PlanRequest(kind, body, heads, plan, out.error)) {
        out.kind = Submission::Kind::BadRequest;
        return out;
    }
    PrinterWorker* worker = Printer(printer);
    if (!worker) {
        out.message = "no printer " + printer;
        return out;
    }
    NewTask task;
    task.clientId = !plan.id.empty();
    task.id = task.clientId ? plan.id : NewId();
    task.printer = printer;
    task.kind = kind;
    task.body = body;
    task.plan = EncodeSteps(plan.steps);

    std::lock_guard<std::mutex> lock(mutex);
    if (stopping) {
        out.message = "korvod is stopping";
        return out;
    }
    switch (journal.Submit(task, out.task, out.message)) {
    case Journal::Submitted::Created:
    case Journal::Submitted::Rerun:
        open.insert(task.id);
        worker->Enqueue(task.id);
        out.kind = Submission::Kind::Accepted;
        break;
    case Journal::Submitted::Replay:
        out.kind = Submission::Kind::Replay;
        break;
    case Journal::Submitted::Join:
        out.kind = Submission::Kind::Join;
        break;
    case Journal::Submitted::Conflict:
        out.kind = Submission::Kind::Conflict;
        break;
    case Journal::Submitted::Failed:
        out.kind = Submission::Kind::Failed;
        break;
    }
    return out;
}

std::optional<TaskRecord> Service::Wait(const std::string& id, std::chrono::steady_clock::time_point deadline) {
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_until(lock, deadline, [&] { return stopping || !open.count(id); });
    }
    return journal.Find(id);
}

bool Service::Cancel(const TaskRecord& task) {
    std::string error;
    Json reason = ErrorBody(409, "cancelled", "the task was cancelled before it started; nothing was printed");
    if (!journal.CancelQueued(task.seq, reason.dump(), error)) return false;
    TaskChanged(task.id, TaskState::Failed);
    return true;
}

void Service::TaskChanged(const std::string& id, TaskState state) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (IsFinal(state)) {
            open.erase(id);
        } else {
            open.insert(id);
        }
    }
    if (IsFinal(state)) changed.notify_all();
}

} // namespace korvod
