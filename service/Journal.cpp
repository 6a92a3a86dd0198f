#include "Journal.h"

#include <chrono>
#include <sqlite3.h>

namespace korvod {

namespace {

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS tasks(
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  id TEXT NOT NULL UNIQUE,
  client_id INTEGER NOT NULL,
  printer TEXT NOT NULL,
  kind TEXT NOT NULL,
  body TEXT NOT NULL,
  plan BLOB NOT NULL,
  state TEXT NOT NULL CHECK(state IN ('queued','running','recovering','done','failed')),
  attempts INTEGER NOT NULL DEFAULT 0,
  witness BLOB,
  outcome TEXT,
  recovered INTEGER NOT NULL DEFAULT 0,
  result TEXT,
  error TEXT,
  created_ms INTEGER NOT NULL,
  updated_ms INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS tasks_open ON tasks(printer, state);
CREATE INDEX IF NOT EXISTS tasks_updated ON tasks(updated_ms);
CREATE TABLE IF NOT EXISTS steps(
  task INTEGER NOT NULL REFERENCES tasks(seq),
  attempt INTEGER NOT NULL,
  step INTEGER NOT NULL,
  command TEXT NOT NULL,
  parameters BLOB NOT NULL,
  sent_ms INTEGER NOT NULL,
  code INTEGER,
  response BLOB,
  PRIMARY KEY(task, attempt, step));
)sql";

const char* const kColumns =
    "seq, id, client_id, printer, kind, body, plan, state, attempts, witness, outcome, recovered, result, "
    "error, created_ms, updated_ms";

struct StateNameRow {
    TaskState state;
    const char* name;
};
const StateNameRow kStates[] = {{TaskState::Queued, "queued"},
                                {TaskState::Running, "running"},
                                {TaskState::Recovering, "recovering"},
                                {TaskState::Done, "done"},
                                {TaskState::Failed, "failed"}};

TaskState StateFromName(const std::string& name) {
    for (const auto& row : kStates)
        if (name == row.name) return row.state;
    return TaskState::Failed;
}

// A prepared statement, finalised on every path.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) stmt = nullptr;
    }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return stmt != nullptr; }
    Statement& Text(int i, const std::string& v) {
        sqlite3_bind_text(stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Blob(int i, const std::string& v) {
        sqlite3_bind_blob(stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& Int(int i, int64_t v) {
        sqlite3_bind_int64(stmt, i, v);
        return *this;
    }
    Statement& Null(int i) {
        sqlite3_bind_null(stmt, i);
        return *this;
    }
    // SQLITE_ROW or SQLITE_DONE, anything else is an error.
    int Step() { return stmt ? sqlite3_step(stmt) : SQLITE_ERROR; }
    bool Run() { return Step() == SQLITE_DONE; }

    std::string ColumnText(int i) const {
        const void* p = sqlite3_column_blob(stmt, i);
        int n = sqlite3_column_bytes(stmt, i);
        return p ? std::string(static_cast<const char*>(p), static_cast<size_t>(n)) : std::string();
    }
    bool IsNull(int i) const { return sqlite3_column_type(stmt, i) == SQLITE_NULL; }
    int64_t ColumnInt(int i) const { return sqlite3_column_int64(stmt, i); }

private:
    sqlite3_stmt* stmt = nullptr;
};

TaskRecord ReadRecord(const Statement& s) {
    TaskRecord r;
    r.seq = s.ColumnInt(0);
    r.id = s.ColumnText(1);
    r.clientId = s.ColumnInt(2) != 0;
    r.printer = s.ColumnText(3);
    KindFromName(s.ColumnText(4), r.kind);
    r.body = s.ColumnText(5);
    r.plan = s.ColumnText(6);
    r.state = StateFromName(s.ColumnText(7));
    r.attempts = static_cast<int>(s.ColumnInt(8));
    if (!s.IsNull(9)) r.witness = s.ColumnText(9);
    r.outcome = s.ColumnText(10);
    r.recovered = s.ColumnInt(11) != 0;
    r.result = s.ColumnText(12);
    r.error = s.ColumnText(13);
    r.createdMs = s.ColumnInt(14);
    r.updatedMs = s.ColumnInt(15);
    return r;
}

// BEGIN IMMEDIATE ... COMMIT, rolled back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db(db) {
        ok = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (ok && !committed) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    bool Commit() {
        committed = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        return committed;
    }
    bool Ok() const { return ok; }

private:
    sqlite3* db;
    bool ok = false;
    bool committed = false;
};

template <class Bind>
std::vector<TaskRecord> Query(sqlite3* db, const std::string& where, Bind bind) {
    std::vector<TaskRecord> out;
    if (!db) return out;
    std::string sql = std::string("SELECT ") + kColumns + " FROM tasks " + where;
    Statement s(db, sql.c_str());
    bind(s);
    while (s.Step() == SQLITE_ROW)
        out.push_back(ReadRecord(s));
    return out;
}

} // namespace

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

const char* StateName(TaskState state) {
    for (const auto& row : kStates)
        if (row.state == state) return row.name;
    return "?";
}

Journal::~Journal() { Close(); }

void Journal::Close() {
    std::lock_guard<std::mutex> lock(mutex);
    if (db) sqlite3_close(db);
    db = nullptr;
}

bool Journal::Exec(const char* sql, std::string& error) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
    error = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return false;
}

bool Journal::Open(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        error = path + ": " + (db ? sqlite3_errmsg(db) : "cannot open");
        if (db) sqlite3_close(db);
        db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db, 5000);
    {
        Statement mode(db, "PRAGMA journal_mode=WAL");
        if (mode.Step() != SQLITE_ROW || mode.ColumnText(0) != "wal") {
            error = path + ": the journal needs WAL mode, which this file system does not give";
            sqlite3_close(db);
            db = nullptr;
            return false;
        }
    }
    if (!Exec("PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON;", error) || !Exec(kSchema, error)) {
        error = path + ": " + error;
        sqlite3_close(db);
        db = nullptr;
        return false;
    }
    return true;
}

std::optional<TaskRecord> Journal::FindLocked(const std::string& id) {
    std::string sql = std::string("SELECT ") + kColumns + " FROM tasks WHERE id = ?1";
    Statement s(db, sql.c_str());
    s.Text(1, id);
    if (s.Step() != SQLITE_ROW) return std::nullopt;
    return ReadRecord(s);
}

std::optional<TaskRecord> Journal::Find(const std::string& id) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!db) return std::nullopt;
    return FindLocked(id);
}

Journal::Submitted Journal::Submit(const NewTask& task, TaskRecord& record, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!db) {
        error = "the journal is closed";
        return Submitted::Failed;
    }
    Transaction tx(db);
    if (!tx.Ok()) {
        error = sqlite3_errmsg(db);
        return Submitted::Failed;
    }
    std::optional<TaskRecord> found = FindLocked(task.id);
    int64_t now = NowMs();
    Submitted outcome;
    if (!found) {
        Statement s(db, "INSERT INTO tasks(id, client_id, printer, kind, body, plan, state, created_ms, updated_ms)"
                        " VALUES(?1, ?2, ?3, ?4, ?5, ?6, 'queued', ?7, ?7)");
        s.Text(1, task.id).Int(2, task.clientId).Text(3, task.printer).Text(4, KindName(task.kind));
        s.Text(5, task.body).Blob(6, task.plan).Int(7, now);
        if (!s.Run()) {
            error = sqlite3_errmsg(db);
            return Submitted::Failed;
        }
        outcome = Submitted::Created;
    } else if (found->printer != task.printer || found->kind != task.kind || found->plan != task.plan) {
        record = *found;
        return Submitted::Conflict;
    } else if (found->state == TaskState::Done) {
        record = *found;
        return Submitted::Replay;
    } else if (found->state != TaskState::Failed) {
        record = *found;
        return Submitted::Join;
    } else {
        // A failed task printed nothing (an undecided one stays recovering):
        // it may run again.
        Statement s(db, "UPDATE tasks SET state = 'queued', outcome = NULL, error = NULL, result = NULL,"
                        " recovered = 0, updated_ms = ?2 WHERE seq = ?1");
        s.Int(1, found->seq).Int(2, now);
        if (!s.Run()) {
            error = sqlite3_errmsg(db);
            return Submitted::Failed;
        }
        outcome = Submitted::Rerun;
    }
    if (!tx.Commit()) {
        error = sqlite3_errmsg(db);
        return Submitted::Failed;
    }
    record = *FindLocked(task.id);
    return outcome;
}

std::vector<TaskRecord> Journal::Unfinished(const std::string& printer) {
    std::lock_guard<std::mutex> lock(mutex);
    return Query(db, "WHERE printer = ?1 AND state IN ('queued','running','recovering') ORDER BY seq",
                 [&](Statement& s) { s.Text(1, printer); });
}

std::vector<TaskRecord> Journal::Recent(size_t limit) {
    std::lock_guard<std::mutex> lock(mutex);
    return Query(db, "ORDER BY seq DESC LIMIT ?1", [&](Statement& s) { s.Int(1, static_cast<int64_t>(limit)); });
}

std::map<std::string, int64_t> Journal::CountByState() {
    std::lock_guard<std::mutex> lock(mutex);
    std::map<std::string, int64_t> counts;
    for (const auto& row : kStates)
        counts[row.name] = 0;
    if (!db) return counts;
    Statement s(db, "SELECT state, count(*) FROM tasks GROUP BY state");
    while (s.Step() == SQLITE_ROW)
        counts[s.ColumnText(0)] = s.ColumnInt(1);
    return counts;
}

int Journal::BeginAttempt(int64_t seq, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    Transaction tx(db);
    Statement s(db, "UPDATE tasks SET state = 'running', attempts = attempts + 1, witness = NULL,"
                    " updated_ms = ?2 WHERE seq = ?1 AND state = 'queued'");
    s.Int(1, seq).Int(2, NowMs());
    Statement q(db, "SELECT attempts FROM tasks WHERE seq = ?1");
    q.Int(1, seq);
    if (!tx.Ok() || !s.Run() || q.Step() != SQLITE_ROW) {
        error = sqlite3_errmsg(db);
        return -1;
    }
    // Cancelled in the meantime.
    if (sqlite3_changes(db) == 0) return 0;
    int attempt = static_cast<int>(q.ColumnInt(0));
    if (!tx.Commit()) {
        error = sqlite3_errmsg(db);
        return -1;
    }
    return attempt;
}

bool Journal::WriteAnswer(const StepAnswer& answer, std::string& error) {
    Statement s(db, "UPDATE steps SET code = ?4, response = ?5 WHERE task = ?1 AND attempt = ?2 AND step = ?3");
    s.Int(1, answer.seq).Int(2, answer.attempt).Int(3, answer.step).Int(4, answer.code).Blob(5, answer.response);
    if (s.Run()) return true;
    error = sqlite3_errmsg(db);
    return false;
}

bool Journal::RecordStep(int64_t seq, int attempt, int step, const std::string& command,
                         const std::string& parameters, const StepAnswer* previous,
                         const std::optional<std::string>* witness, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    Transaction tx(db);
    if (!tx.Ok()) {
        error = sqlite3_errmsg(db);
        return false;
    }
    if (previous && !WriteAnswer(*previous, error)) return false;
    if (witness) {
        Statement w(db, "UPDATE tasks SET witness = ?2 WHERE seq = ?1");
        w.Int(1, seq);
        if (witness->has_value()) {
            w.Blob(2, **witness);
        } else {
            w.Null(2);
        }
        if (!w.Run()) {
            error = sqlite3_errmsg(db);
            return false;
        }
    }
    if (step < 0) {
        Statement next(db, "SELECT COALESCE(MAX(step) + 1, 0) FROM steps WHERE task = ?1 AND attempt = ?2");
        next.Int(1, seq).Int(2, attempt);
        if (next.Step() != SQLITE_ROW) {
            error = sqlite3_errmsg(db);
            return false;
        }
        step = static_cast<int>(next.ColumnInt(0));
    }
    Statement s(db, "INSERT INTO steps(task, attempt, step, command, parameters, sent_ms)"
                    " VALUES(?1, ?2, ?3, ?4, ?5, ?6)");
    s.Int(1, seq).Int(2, attempt).Int(3, step).Text(4, command).Blob(5, parameters).Int(6, NowMs());
    if (!s.Run() || !tx.Commit()) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

bool Journal::SetState(int64_t seq, TaskState state, const StepAnswer* previous, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    Transaction tx(db);
    if (!tx.Ok() || (previous && !WriteAnswer(*previous, error))) {
        if (error.empty()) error = sqlite3_errmsg(db);
        return false;
    }
    Statement s(db, "UPDATE tasks SET state = ?2, updated_ms = ?3 WHERE seq = ?1");
    s.Int(1, seq).Text(2, StateName(state)).Int(3, NowMs());
    if (!s.Run() || !tx.Commit()) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

bool Journal::Finish(int64_t seq, TaskState state, const std::string& outcome, bool recovered,
                     const std::string& result, const std::string& errorJson, const StepAnswer* previous,
                     std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    Transaction tx(db);
    if (!tx.Ok() || (previous && !WriteAnswer(*previous, error))) {
        if (error.empty()) error = sqlite3_errmsg(db);
        return false;
    }
    Statement s(db, "UPDATE tasks SET state = ?2, outcome = ?3, recovered = ?4, result = ?5, error = ?6,"
                    " updated_ms = ?7 WHERE seq = ?1");
    s.Int(1, seq).Text(2, StateName(state)).Text(3, outcome).Int(4, recovered);
    if (result.empty()) {
        s.Null(5);
    } else {
        s.Text(5, result);
    }
    if (errorJson.empty()) {
        s.Null(6);
    } else {
        s.Text(6, errorJson);
    }
    s.Int(7, NowMs());
    if (!s.Run() || !tx.Commit()) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

bool Journal::CancelQueued(int64_t seq, const std::string& errorJson, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    Statement s(db, "UPDATE tasks SET state = 'failed', outcome = 'not_printed', error = ?2, updated_ms = ?3"
                    " WHERE seq = ?1 AND state = 'queued'");
    s.Int(1, seq).Text(2, errorJson).Int(3, NowMs());
    if (!s.Run()) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return sqlite3_changes(db) == 1;
}

int64_t Journal::Prune(int64_t cutoffMs, std::string& error) {
    std::lock_guard<std::mutex> lock(mutex);
    Transaction tx(db);
    const char* old = "SELECT seq FROM tasks WHERE state IN ('done','failed') AND updated_ms < ?1";
    Statement steps(db, (std::string("DELETE FROM steps WHERE task IN (") + old + ")").c_str());
    steps.Int(1, cutoffMs);
    Statement tasks(db, "DELETE FROM tasks WHERE state IN ('done','failed') AND updated_ms < ?1");
    tasks.Int(1, cutoffMs);
    if (!tx.Ok() || !steps.Run() || !tasks.Run()) {
        error = sqlite3_errmsg(db);
        return -1;
    }
    int64_t removed = sqlite3_changes(db);
    if (!tx.Commit()) {
        error = sqlite3_errmsg(db);
        return -1;
    }
    return removed;
}

bool Journal::AttemptSent(int64_t seq, int attempt, const std::string& command) {
    std::lock_guard<std::mutex> lock(mutex);
    Statement s(db, "SELECT 1 FROM steps WHERE task = ?1 AND attempt = ?2 AND command = ?3 LIMIT 1");
    s.Int(1, seq).Int(2, attempt).Text(3, command);
    return s.Step() == SQLITE_ROW;
}

} // namespace korvod
