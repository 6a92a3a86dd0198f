#include "PrinterWorker.h"

#include <algorithm>
#include <cstdlib>

#include "ErrorReport.h"
#include "Log.h"
#include "Metrics.h"
#include "ReceiptRecovery.h"
#include "TaskView.h"
#include "Windows1250.h"
#include "korvocomm.h"

namespace korvod {

namespace {

const char* const kStateNames[] = {"ready", "busy", "offline", "recovering"};

std::string Dump(const Json& value) {
    return value.is_null() ? std::string() : value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// getProperty ids of the printer's report.
constexpr int kSerialNumber = 6;
constexpr int kFirmwareVersion = 7;
constexpr int kPrinterState = 8;
constexpr int kTrainingMode = 9;
constexpr int kDayOpened = 10;
constexpr int kUpdateAvailable = 14;
constexpr int kUpdateFired = 15;
constexpr int kPaperEmpty = 17;
constexpr int kCoverOpen = 18;

// getProperty 8: 1 idle, 2 fiscal receipt, 3 its total, 4 its ending, 9 non-fiscal.
const char* DocumentName(int state) {
    switch (state) {
    case 1:
        return "none";
    case 2:
    case 3:
    case 4:
        return "fiscal receipt";
    case 9:
        return "non-fiscal";
    default:
        return "unknown";
    }
}

} // namespace

const char* PrinterStateName(PrinterState state) { return kStateNames[static_cast<int>(state)]; }

// The worker's connection as the recovery sees it.
class PrinterWorker::Port : public CommandPort {
public:
    explicit Port(PrinterWorker& worker) : worker(worker) {}
    int Send(const std::string& command, const std::string& parameters, std::string& values) override {
        return worker.Send(command, parameters, values);
    }

private:
    PrinterWorker& worker;
};

PrinterWorker::PrinterWorker(PrinterConfig config, Journal& journal, TaskEvents& events, Metrics& metrics,
                             const CommandHeads& heads)
    : config(std::move(config)), journal(journal), events(events), metrics(metrics), heads(heads),
      link(this->config.endpoint, this->config.responseTimeMs), backoffMs(this->config.reconnectMinMs) {
    snapshot.name = this->config.name;
    snapshot.connection = this->config.endpoint.text;
    metrics.PrinterState(this->config.name, "offline");
}

PrinterWorker::~PrinterWorker() { Stop(); }

void PrinterWorker::Start() {
    for (const TaskRecord& task : journal.Unfinished(config.name)) {
        if (task.state == TaskState::Queued) {
            queue.push_back(task.id);
        } else {
            // Found running or recovering: korvod stopped in its middle.
            recoveries.push_back(Recovery{task.id, ErrorBody(503, "interrupted",
                                                             "korvod stopped while the task was running")});
        }
    }
    snapshot.queued = queue.size();
    thread = std::thread([this] { Run(); });
}

void PrinterWorker::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    statusDone.notify_all();
    if (thread.joinable()) thread.join();
}

void PrinterWorker::Enqueue(const std::string& id) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(id);
        snapshot.queued = queue.size();
    }
    wake.notify_all();
}

PrinterSnapshot PrinterWorker::Snapshot() {
    std::lock_guard<std::mutex> lock(mutex);
    return snapshot;
}

void PrinterWorker::SetState(PrinterState state) {
    bool changed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        changed = snapshot.state != state || !snapshot.tried;
        snapshot.state = state;
        snapshot.connected = link.Connected();
        snapshot.tried = true;
    }
    statusDone.notify_all();
    if (changed) {
        metrics.PrinterState(config.name, PrinterStateName(state));
        if (state == PrinterState::Offline || state == PrinterState::Recovering)
            Log(config.name + ": " + PrinterStateName(state));
    }
}

void PrinterWorker::NoteError(int code, const std::string& command) {
    std::lock_guard<std::mutex> lock(mutex);
    snapshot.lastError = code;
    snapshot.lastErrorCommand = command;
    snapshot.lastErrorMs = NowMs();
}

void PrinterWorker::WaitMs(int ms) {
    std::unique_lock<std::mutex> lock(mutex);
    wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping; });
}

void PrinterWorker::LinkLost() {
    // After any failure of the link the connection starts anew: a late answer
    // on the old one must not be taken for the answer to a later command.
    link.Abandon();
    std::lock_guard<std::mutex> lock(mutex);
    snapshot.connected = false;
}

bool PrinterWorker::Persist(const std::function<bool(std::string&)>& write) {
    int delay = 100;
    for (;;) {
        std::string error;
        if (write(error)) return true;
        Log(config.name + ": the journal cannot be written (" + error + "); nothing is sent until it can");
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (stopping) return false;
        }
        WaitMs(delay);
        delay = std::min(delay * 2, 5000);
    }
}

int PrinterWorker::Send(const std::string& command, const std::string& parameters, std::string& values) {
    int code = link.Send(command, parameters, values);
    metrics.Command(config.name, command, link.LastDurationMs() / 1000.0);
    // A getter's "no such entry" is an answer, not a fault of the printer.
    bool answer = code == E_NOEXIST &&
                  (command == "getLastRegisteredReceiptInfo" || command == "getTransactionStatus");
    if (code != 0 && !answer) NoteError(code, command);
    if (!link.Connected()) LinkLost();
    return code;
}

void PrinterWorker::Changed(const std::string& id, TaskState state) { events.TaskChanged(id, state); }

void PrinterWorker::Finish(const TaskRecord& task, TaskState state, const std::string& outcome, bool recovered,
                           const Json& result, const Json& error, const StepAnswer* answer) {
    Persist([&](std::string& e) {
        return journal.Finish(task.seq, state, outcome, recovered, Dump(result), Dump(error), answer, e);
    });
    std::string line = config.name + ": " + KindName(task.kind) + " " + task.id + " " + StateName(state);
    if (!outcome.empty()) line += " (" + outcome + (recovered ? ", recovered" : "") + ")";
    if (error.is_object() && error.contains("message")) line += ": " + error["message"].get<std::string>();
    Log(line);
    if (state == TaskState::Done && IsFiscal(task.kind)) metrics.ReceiptDone(config.name);
    if (recovered) metrics.Recovery(config.name, outcome);
    Changed(task.id, state);
}

void PrinterWorker::Run() {
    bool idleChecked = false;
    bool stopTried = false;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            // A receipt left undecided gets one more try before korvod stops.
            if (stopping && (recoveries.empty() || stopTried)) break;
            if (stopping) stopTried = true;
        }
        if (!link.Connected()) {
            int code = link.Connect();
            if (code != 0) {
                NoteError(code, "connect");
                SetState(PrinterState::Offline);
                ServeStatusRequests();
                WaitMs(backoffMs);
                backoffMs = std::min(backoffMs * 2, config.reconnectMaxMs);
                continue;
            }
            Log(config.name + ": connected to " + config.endpoint.text);
            idleChecked = false;
        }
        if (!recoveries.empty()) {
            SetState(PrinterState::Recovering);
            if (!RecoverNext()) {
                LinkLost();
                WaitMs(backoffMs);
                backoffMs = std::min(backoffMs * 2, config.reconnectMaxMs);
            }
            continue;
        }
        if (!idleChecked) {
            if (!EnsureIdle()) continue;
            idleChecked = true;
            backoffMs = config.reconnectMinMs;
        }
        if (!ServeStatusRequests()) continue;

        SetState(PrinterState::Ready);
        std::string id;
        {
            std::unique_lock<std::mutex> lock(mutex);
            bool woken = wake.wait_for(lock, std::chrono::milliseconds(config.checkIntervalMs), [this] {
                return stopping || !queue.empty() || !statusRequests.empty();
            });
            if (stopping || !statusRequests.empty()) continue;
            if (woken) {
                id = queue.front();
                queue.pop_front();
                snapshot.queued = queue.size();
                snapshot.currentTask = id;
            }
        }
        if (id.empty()) {
            // An idle printer is looked at now and then, so that its state is
            // known before the next task comes.
            std::string values;
            Send("getProperty", std::to_string(kPrinterState), values);
            continue;
        }
        std::optional<TaskRecord> task = journal.Find(id);
        if (task && task->state == TaskState::Queued) {
            SetState(PrinterState::Busy);
            if (RunTask(*task) == Ran::Requeue) {
                std::lock_guard<std::mutex> lock(mutex);
                queue.push_front(id);
                snapshot.queued = queue.size();
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        snapshot.currentTask.clear();
    }
    link.Disconnect();
    SetState(PrinterState::Offline);
    ServeStatusRequests();
}

bool PrinterWorker::RecoverNext() {
    Recovery recovery = recoveries.front();
    std::optional<TaskRecord> task = journal.Find(recovery.id);
    if (!task || IsFinal(task->state)) {
        recoveries.pop_front();
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        snapshot.currentTask = task->id;
    }
    if (task->state != TaskState::Recovering) {
        Persist([&](std::string& e) { return journal.SetState(task->seq, TaskState::Recovering, nullptr, e); });
        Changed(task->id, TaskState::Recovering);
    }
    if (!IsFiscal(task->kind)) {
        // Whether a report or document printed cannot be asked afterwards.
        Json error = ErrorBody(503, "interrupted",
                               "the task was interrupted; whether it printed is not known, and it may be sent again");
        Finish(*task, TaskState::Failed, "unknown", true, nullptr, error, nullptr);
        recoveries.pop_front();
        return true;
    }

    Resolution resolution;
    if (!journal.AttemptSent(task->seq, task->attempts, "beginFiscalReceipt")) {
        resolution.kind = Resolution::Kind::NotPrinted;
        resolution.how = "the receipt was never begun on the printer";
    } else {
        Port port(*this);
        int attempt = task->attempts;
        resolution = ResolveReceipt(port, task->id, task->witness, [&](const std::string& c, const std::string& p) {
            return Persist([&](std::string& e) {
                return journal.RecordStep(task->seq, attempt, -1, c, p, nullptr, nullptr, e);
            });
        });
    }
    if (resolution.kind == Resolution::Kind::Undecided) {
        Log(config.name + ": receipt " + task->id + " is not resolved yet: " + resolution.how);
        return false;
    }
    Json error = recovery.refusal;
    if (resolution.kind == Resolution::Kind::Printed) {
        Json result = {{"receipt", ReceiptInfo(resolution.receiptInfo)}, {"resolution", resolution.how}};
        Finish(*task, TaskState::Done, "printed", true, result, nullptr, nullptr);
    } else {
        bool voided = resolution.kind == Resolution::Kind::Voided;
        if (!error.is_object()) error = ErrorBody(503, "printer_unreachable", "the exchange with the printer failed");
        error["message"] = error.value("message", std::string()) +
                           (voided ? "; the receipt was voided and nothing was registered"
                                   : "; nothing was registered") +
                           " (" + resolution.how + ")";
        Finish(*task, TaskState::Failed, voided ? "voided" : "not_printed", true, nullptr, error, nullptr);
    }
    recoveries.pop_front();
    std::lock_guard<std::mutex> lock(mutex);
    snapshot.currentTask.clear();
    return true;
}

bool PrinterWorker::EnsureIdle() {
    std::string values;
    int code = Send("getProperty", std::to_string(kPrinterState), values);
    if (IsLinkFailure(code)) return false;
    if (code != 0) return true;
    std::vector<std::string> fields = SplitFields(values);
    int state = fields.size() >= 2 ? std::atoi(fields[1].c_str()) : 0;
    if (state == 9) {
        Log(config.name + ": closing a non-fiscal document left open");
        code = Send("endNonFiscal", "0", values);
    } else if (state == 2 || state == 3) {
        // No task of korvod's owns it (those were resolved before): a receipt
        // that nobody will finish, and nothing registered yet.
        Log(config.name + ": voiding a fiscal receipt left open by no task of korvod's");
        code = Send("printRecVoid", "", values);
        if (!IsLinkFailure(code)) code = Send("endFiscalReceipt", "0", values);
    } else if (state == 4) {
        Log(config.name + ": a paid fiscal receipt of no task of korvod's is open; left to the operator");
    }
    return !IsLinkFailure(code);
}

bool PrinterWorker::ReadStatus(Json& status, std::chrono::steady_clock::time_point deadline, Json& error) {
    auto request = std::make_shared<StatusRequest>();
    std::unique_lock<std::mutex> lock(mutex);
    // Right after the start the printer is not offline, only not tried yet.
    statusDone.wait_until(lock, deadline, [&] { return snapshot.tried || stopping; });
    if (!snapshot.connected || snapshot.state == PrinterState::Offline || stopping) {
        error = ErrorBody(503, "printer_unreachable", "the printer " + config.name + " is offline");
        return false;
    }
    statusRequests.push_back(request);
    wake.notify_all();
    statusDone.wait_until(lock, deadline, [&] { return request->done || stopping; });
    if (!request->done) {
        statusRequests.erase(std::remove(statusRequests.begin(), statusRequests.end(), request),
                             statusRequests.end());
        error = ErrorBody(503, "printer_busy", "the printer " + config.name + " did not get to it in time");
        return false;
    }
    status = request->status;
    error = request->error;
    return request->ok;
}

bool PrinterWorker::ServeStatusRequests() {
    bool linkOk = true;
    for (;;) {
        std::shared_ptr<StatusRequest> request;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (statusRequests.empty()) break;
            request = statusRequests.front();
            statusRequests.pop_front();
        }
        Json status;
        int code = 0;
        bool ok = linkOk && link.Connected() && ReadStatusNow(status, code);
        if (!ok && IsLinkFailure(code)) linkOk = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            request->done = true;
            request->ok = ok;
            request->status = status;
            if (!ok) {
                request->error = ErrorBody(503, "printer_unreachable", "the printer " + config.name + " is offline");
                if (code) {
                    Json described = DescribeCode(code, "getProperty");
                    request->error["code"] = described["code"];
                    request->error["name"] = described["name"];
                    request->error["text"] = described["text"];
                }
            }
        }
        statusDone.notify_all();
    }
    return linkOk;
}

bool PrinterWorker::ReadStatusNow(Json& status, int& code) {
    std::string values;
    auto property = [&](int id, Json& out) {
        code = Send("getProperty", std::to_string(id), values);
        if (code != 0) {
            out = nullptr;
            return !IsLinkFailure(code);
        }
        std::vector<std::string> fields = SplitFields(values);
        out = fields.size() >= 2 ? Json(FromWindows1250(fields[1])) : Json(nullptr);
        return true;
    };
    auto flag = [](const Json& v) { return v.is_string() ? Json(v.get<std::string>() == "1") : Json(nullptr); };
    Json serial, firmware, state, training, day, available, fired, paper, cover;
    if (!property(kSerialNumber, serial) || !property(kFirmwareVersion, firmware) ||
        !property(kPrinterState, state) || !property(kTrainingMode, training) || !property(kDayOpened, day) ||
        !property(kUpdateAvailable, available) || !property(kUpdateFired, fired) ||
        !property(kPaperEmpty, paper) || !property(kCoverOpen, cover))
        return false;
    code = 0;
    int printerState = state.is_string() ? std::atoi(state.get<std::string>().c_str()) : 0;
    status = Json::object();
    status["serialNumber"] = serial;
    status["firmware"] = firmware;
    status["printerState"] = printerState;
    status["document"] = DocumentName(printerState);
    status["documentOpen"] = printerState != 1;
    status["paperEmpty"] = flag(paper);
    status["coverOpen"] = flag(cover);
    status["dayOpened"] = flag(day);
    status["trainingMode"] = flag(training);
    Json update = {{"available", flag(available)}, {"fired", flag(fired)}};
    status["firmwareUpdate"] = update;
    status["firmwareUpdateWaiting"] = flag(available) == Json(true) || flag(fired) == Json(true);
    return true;
}

PrinterWorker::Ran PrinterWorker::RunTask(const TaskRecord& task) {
    std::vector<PlanStep> steps;
    if (!DecodeSteps(task.plan, steps)) {
        Json error = ErrorBody(500, "internal", "the journal holds a plan korvod cannot read");
        Finish(task, TaskState::Failed, "not_printed", false, nullptr, error, nullptr);
        return Ran::Finished;
    }
    int attempt = 0;
    if (!Persist([&](std::string& e) { return (attempt = journal.BeginAttempt(task.seq, e)) >= 0; }))
        return Ran::Requeue;
    if (attempt == 0) return Ran::Finished; // cancelled meanwhile
    Changed(task.id, TaskState::Running);
    return IsFiscal(task.kind) ? RunReceipt(task, steps, attempt) : RunPlain(task, steps, attempt);
}

PrinterWorker::Ran PrinterWorker::RunReceipt(const TaskRecord& task, const std::vector<PlanStep>& steps,
                                             int attempt) {
    std::string values;
    // The witness: the last registered receipt before this one begins.
    std::optional<std::string> witness;
    int code = Send("getLastRegisteredReceiptInfo", "", values);
    if (code == 0) {
        witness = values;
    } else if (code == E_NOEXIST) {
        witness = std::string();
    } else if (IsLinkFailure(code)) {
        // Nothing went out for the receipt yet: it waits for the printer.
        Persist([&](std::string& e) { return journal.SetState(task.seq, TaskState::Queued, nullptr, e); });
        Changed(task.id, TaskState::Queued);
        LinkLost();
        return Ran::Requeue;
    }

    StepAnswer answer;
    bool answered = false;
    auto enterRecovery = [&](Json failure) {
        Persist([&](std::string& e) {
            return journal.SetState(task.seq, TaskState::Recovering, answered ? &answer : nullptr, e);
        });
        Changed(task.id, TaskState::Recovering);
        recoveries.push_back(Recovery{task.id, std::move(failure)});
        return Ran::Recover;
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        const PlanStep& step = steps[i];
        int number = static_cast<int>(i);
        if (!Persist([&](std::string& e) {
                return journal.RecordStep(task.seq, attempt, number, step.command, step.parameters,
                                          answered ? &answer : nullptr, i == 0 ? &witness : nullptr, e);
            })) {
            // Stopping with a journal that cannot be written: nothing more is
            // sent, and what was is resolved on the next start.
            return i == 0 ? Ran::Requeue : enterRecovery(nullptr);
        }
        answered = false;
        code = Send(step.command, step.parameters, values);
        answer = StepAnswer{task.seq, attempt, number, code, values};
        answered = true;
        if (code == 0) continue;

        if (IsLinkFailure(code)) {
            Json failure = CommandError(code, step, "the printer did not answer " + step.command);
            LinkLost();
            return enterRecovery(failure);
        }
        Json refusal = CommandError(code, step, "the printer refused " + step.command);
        if (i == 0) {
            refusal["message"] = refusal["message"].get<std::string>() + "; nothing was registered";
            Finish(task, TaskState::Failed, "not_printed", false, nullptr, refusal, &answer);
            return Ran::Finished;
        }
        // Refused inside the receipt: void what is open, then it is known
        // what the printer holds.
        Port port(*this);
        bool flushed = false;
        Resolution resolution =
            ResolveReceipt(port, task.id, witness, [&](const std::string& c, const std::string& p) {
                bool ok = Persist([&](std::string& e) {
                    return journal.RecordStep(task.seq, attempt, -1, c, p, flushed ? nullptr : &answer, nullptr, e);
                });
                flushed = flushed || ok;
                return ok;
            });
        if (flushed) answered = false;
        switch (resolution.kind) {
        case Resolution::Kind::Undecided:
            if (IsLinkFailure(resolution.code)) LinkLost();
            return enterRecovery(refusal);
        case Resolution::Kind::Printed:
            Finish(task, TaskState::Done, "printed", false,
                   {{"receipt", ReceiptInfo(resolution.receiptInfo)}, {"resolution", resolution.how}}, nullptr,
                   answered ? &answer : nullptr);
            return Ran::Finished;
        default: {
            bool voided = resolution.kind == Resolution::Kind::Voided;
            refusal["message"] = refusal["message"].get<std::string>() +
                                 (voided ? "; the receipt was voided and nothing was registered"
                                         : "; nothing was registered");
            Finish(task, TaskState::Failed, voided ? "voided" : "not_printed", false, nullptr, refusal,
                   answered ? &answer : nullptr);
            return Ran::Finished;
        }
        }
    }
    // Every command answered: the receipt is registered.
    std::string info;
    code = Send("getLastRegisteredReceiptInfo", "", info);
    if (code != 0) {
        if (IsLinkFailure(code)) LinkLost();
        return enterRecovery(nullptr);
    }
    Finish(task, TaskState::Done, "printed", false, {{"receipt", ReceiptInfo(info)}}, nullptr, &answer);
    return Ran::Finished;
}

PrinterWorker::Ran PrinterWorker::RunPlain(const TaskRecord& task, const std::vector<PlanStep>& steps,
                                           int attempt) {
    std::string values;
    StepAnswer answer;
    bool answered = false;
    for (size_t i = 0; i < steps.size(); ++i) {
        const PlanStep& step = steps[i];
        int number = static_cast<int>(i);
        if (!Persist([&](std::string& e) {
                return journal.RecordStep(task.seq, attempt, number, step.command, step.parameters,
                                          answered ? &answer : nullptr, nullptr, e);
            }))
            return i == 0 ? Ran::Requeue : Ran::Finished;
        int code = Send(step.command, step.parameters, values);
        answer = StepAnswer{task.seq, attempt, number, code, values};
        answered = true;
        if (code == 0) continue;
        if (IsLinkFailure(code)) {
            // A half-printed document is closed when the printer is back.
            LinkLost();
            Json failure = CommandError(code, step,
                                        "the printer did not answer " + step.command +
                                            "; whether it printed is not known, and the task may be sent again");
            Finish(task, TaskState::Failed, "unknown", false, nullptr, failure, &answer);
            return Ran::Finished;
        }
        Json refusal = CommandError(code, step, "the printer refused " + step.command);
        if (task.kind == TaskKind::Document && i > 0 && step.command != "endNonFiscal") {
            std::string ignored;
            Send("endNonFiscal", "0", ignored);
        }
        Finish(task, TaskState::Failed, "", false, nullptr, refusal, &answer);
        return Ran::Finished;
    }
    Json result = Json::object();
    if (task.kind == TaskKind::Command) {
        std::string requestHead, responseHead;
        heads.Find(steps[0].command, requestHead, responseHead);
        result = CommandResult(steps[0].command, responseHead, values);
    }
    Finish(task, TaskState::Done, "", false, result, nullptr, answered ? &answer : nullptr);
    return Ran::Finished;
}

} // namespace korvod
