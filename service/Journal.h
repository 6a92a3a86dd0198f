// The task journal: SQLite in WAL mode with synchronous FULL, so that what it
// says has reached the disk before korvod acts on it. Every task is recorded
// with its body and plan when it is accepted, every printer command before it
// is sent; after any failure, korvod crash included, the journal tells where a
// receipt stood.
//
//   tasks  one row a task: id (the application's key), printer, kind, body,
//          plan, state, attempts, witness (the printer's last registered
//          receipt read before this attempt's beginFiscalReceipt), outcome,
//          recovered, result and error (JSON), times
//   steps  one row a command sent for a task: attempt, number, command,
//          parameters, and its result code and response once answered
//
// All methods are safe to call from several threads.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "TaskPlan.h"

struct sqlite3;

namespace korvod {

enum class TaskState { Queued, Running, Recovering, Done, Failed };
const char* StateName(TaskState state);
inline bool IsFinal(TaskState s) { return s == TaskState::Done || s == TaskState::Failed; }

struct TaskRecord {
    int64_t seq = 0; // order of acceptance
    std::string id;
    bool clientId = false; // the id came from the application
    std::string printer;
    TaskKind kind = TaskKind::Receipt;
    std::string body;
    std::string plan; // EncodeSteps
    TaskState state = TaskState::Queued;
    int attempts = 0;
    std::optional<std::string> witness;
    std::string outcome; // printed, voided, not_printed, unknown; empty while open
    bool recovered = false;
    std::string result; // JSON text, empty when none
    std::string error;  // JSON text, empty when none
    int64_t createdMs = 0;
    int64_t updatedMs = 0;
};

struct NewTask {
    std::string id;
    bool clientId = false;
    std::string printer;
    TaskKind kind = TaskKind::Receipt;
    std::string body;
    std::string plan;
};

// The answer to a step, written together with the next journal entry.
struct StepAnswer {
    int64_t seq = 0;
    int attempt = 0;
    int step = 0;
    int code = 0;
    std::string response;
};

class Journal {
public:
    Journal() = default;
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    bool Open(const std::string& path, std::string& error);
    void Close();

    enum class Submitted { Created, Rerun, Replay, Join, Conflict, Failed };
    // Looks the id up and records the task when it is new, or queues it again
    // when an earlier attempt ended without printing; record is the task as
    // it now stands.
    Submitted Submit(const NewTask& task, TaskRecord& record, std::string& error);

    std::optional<TaskRecord> Find(const std::string& id);
    // queued, running and recovering tasks of a printer, oldest first.
    std::vector<TaskRecord> Unfinished(const std::string& printer);
    std::vector<TaskRecord> Recent(size_t limit);
    std::map<std::string, int64_t> CountByState();

    // A new attempt of a queued task: running, attempts + 1, no witness yet.
    // Returns the attempt, 0 when the task is no longer queued, -1 on error.
    int BeginAttempt(int64_t seq, std::string& error);
    // A queued task that never ran is failed; false when it is not queued.
    bool CancelQueued(int64_t seq, const std::string& errorJson, std::string& error);
    // Records a step before it is sent, with the previous step's answer and,
    // for a receipt's beginFiscalReceipt, the witness. step -1 takes the next
    // number of the attempt.
    bool RecordStep(int64_t seq, int attempt, int step, const std::string& command,
                    const std::string& parameters, const StepAnswer* previous,
                    const std::optional<std::string>* witness, std::string& error);
    bool SetState(int64_t seq, TaskState state, const StepAnswer* previous, std::string& error);
    bool Finish(int64_t seq, TaskState state, const std::string& outcome, bool recovered,
                const std::string& result, const std::string& errorJson, const StepAnswer* previous,
                std::string& error);
    // Forgets done and failed tasks last changed before cutoffMs, with their
    // steps; returns how many.
    int64_t Prune(int64_t cutoffMs, std::string& error);
    // Whether the attempt sent (or was about to send) a command.
    bool AttemptSent(int64_t seq, int attempt, const std::string& command);

private:
    bool Exec(const char* sql, std::string& error);
    bool WriteAnswer(const StepAnswer& answer, std::string& error);
    std::optional<TaskRecord> FindLocked(const std::string& id);

    std::mutex mutex;
    sqlite3* db = nullptr;
};

int64_t NowMs();

} // namespace korvod
