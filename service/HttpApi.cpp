#include "HttpApi.h"

#include <algorithm>
#include <chrono>
#include <httplib.h>

#include "ErrorReport.h"
#include "Journal.h"
#include "Metrics.h"
#include "OperatorPage.h"
#include "Service.h"
#include "TaskView.h"

namespace korvod {

namespace {

using Clock = std::chrono::steady_clock;

const char* const kJson = "application/json; charset=utf-8";

void Reply(httplib::Response& res, int status, const Json& body) {
    res.status = status;
    res.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace), kJson);
}

void Refuse(httplib::Response& res, int status, const char* kind, const std::string& message,
            const std::string& field = "") {
    Reply(res, status, ErrorBody(status, kind, message, field));
}

// Compares without stopping at the first difference, so that the time taken
// does not tell how much of a guessed token was right.
bool SameSecret(const std::string& a, const std::string& b) {
    unsigned char diff = a.size() == b.size() ? 0 : 1;
    for (size_t i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    return diff == 0;
}

// The host of a Host header value: "[::1]:8780" -> "::1", "a:1" -> "a".
std::string HostName(const std::string& header) {
    if (!header.empty() && header[0] == '[') {
        size_t close = header.find(']');
        return close == std::string::npos ? header : header.substr(1, close - 1);
    }
    return header.substr(0, header.rfind(':'));
}

// ?wait=MS: false when it is given but no number of 0 to 600000.
bool WaitParameter(const httplib::Request& req, int fallback, int& ms) {
    ms = fallback;
    if (!req.has_param("wait")) return true;
    std::string text = req.get_param_value("wait");
    if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    ms = std::atoi(text.c_str());
    return ms <= 600000;
}

bool KindOfPath(const std::string& part, TaskKind& kind) {
    if (part == "receipts") kind = TaskKind::Receipt;
    else if (part == "cash") kind = TaskKind::Cash;
    else if (part == "documents") kind = TaskKind::Document;
    else if (part == "reports/x") kind = TaskKind::XReport;
    else if (part == "reports/z") kind = TaskKind::ZReport;
    else if (part == "commands") kind = TaskKind::Command;
    else return false;
    return true;
}

// A task's answer: 200 done, 202 not finished, the error's status when failed.
void ReplyTask(httplib::Response& res, const TaskRecord& task, bool replay) {
    res.set_header("Location", "/v1/tasks/" + task.id);
    Json view = TaskJson(task);
    view["replay"] = replay;
    if (task.state == TaskState::Done) {
        Reply(res, 200, view);
    } else if (task.state == TaskState::Failed) {
        Json body = view["error"].is_object() ? view["error"] : ErrorBody(422, "failed", "the task failed");
        body["task"] = view;
        Reply(res, body.value("status", 422), body);
    } else {
        Reply(res, 202, view);
    }
}

Json LastError(const PrinterSnapshot& p) {
    if (p.lastError == 0) return nullptr;
    Json e = DescribeCode(p.lastError, p.lastErrorCommand == "connect" ? "\tCONNECT" : p.lastErrorCommand);
    e["command"] = p.lastErrorCommand;
    e["at"] = IsoTime(p.lastErrorMs);
    return e;
}

Json PrinterJson(const PrinterSnapshot& p) {
    return {{"name", p.name},
            {"connection", p.connection},
            {"state", PrinterStateName(p.state)},
            {"connected", p.connected},
            {"queued", p.queued},
            {"currentTask", p.currentTask.empty() ? Json(nullptr) : Json(p.currentTask)},
            {"lastError", LastError(p)}};
}

const char* StatusKind(int status) {
    switch (status) {
    case 400:
        return "bad_request";
    case 404:
        return "not_found";
    case 405:
        return "method_not_allowed";
    case 413:
        return "payload_too_large";
    case 414:
        return "uri_too_long";
    default:
        return status >= 500 ? "internal" : "bad_request";
    }
}

} // namespace

HttpApi::HttpApi(Service& service, Journal& journal, Metrics& metrics, const ServiceOptions& options)
    : service(service), journal(journal), metrics(metrics), options(options),
      server(std::make_unique<httplib::Server>()) {
    size_t threads = static_cast<size_t>(options.httpThreads);
    server->new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    server->set_payload_max_length(kBodyLimit);
    server->set_keep_alive_timeout(2);
    // Answers go out in two writes (head, body); without this the second
    // waits for the client's delayed acknowledgement.
    server->set_tcp_nodelay(true);
    server->set_read_timeout(10);
    server->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return Admit(req, res) ? httplib::Server::HandlerResponse::Unhandled
                               : httplib::Server::HandlerResponse::Handled;
    });
    server->set_error_handler(httplib::Server::HandlerWithResponse([](const httplib::Request&,
                                                                      httplib::Response& res) {
        if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
        std::string message = res.status == 413   ? "request bodies are limited to 1 MiB"
                              : res.status == 404 ? "no such resource"
                              : res.status >= 500 ? "the request failed"
                                                  : "the request is malformed";
        Reply(res, res.status, ErrorBody(res.status, StatusKind(res.status), message));
        return httplib::Server::HandlerResponse::Handled;
    }));
    server->set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr e) {
        std::string what = "unexpected failure";
        try {
            if (e) std::rethrow_exception(e);
        } catch (const std::exception& x) {
            what = x.what();
        } catch (...) {
        }
        Refuse(res, 500, "internal", what);
    });
    Routes();
}

HttpApi::~HttpApi() = default;

int HttpApi::Bind(std::string& error) {
    bool ok;
    if (options.listenPort == 0) {
        port = server->bind_to_any_port(options.listenHost);
        ok = port > 0;
    } else {
        port = options.listenPort;
        ok = server->bind_to_port(options.listenHost, port);
    }
    if (!ok) {
        error = "cannot listen on " + options.listenHost + ":" + std::to_string(options.listenPort);
        return -1;
    }
    return port;
}

void HttpApi::Serve() { server->listen_after_bind(); }

void HttpApi::Stop() { server->stop(); }

bool HttpApi::Admit(const httplib::Request& req, httplib::Response& res) {
    // A page elsewhere may reach a service on loopback through a name that
    // resolves there (DNS rebinding): on loopback only loopback names count.
    std::string host = req.get_header_value("Host");
    if (!host.empty() && IsLoopbackHost(options.listenHost)) {
        std::string name = HostName(host);
        if (!IsLoopbackHost(name) && name != options.listenHost) {
            Refuse(res, 403, "host_refused", "the Host " + host + " is not this service's");
            return false;
        }
    }
    // Browsers name the page that calls: only korvod's own page and the
    // configured origins may, and they get the CORS answers they need.
    std::string origin = req.get_header_value("Origin");
    if (!origin.empty()) {
        bool same = !host.empty() && origin == "http://" + host;
        bool listed = std::find(options.origins.begin(), options.origins.end(), origin) != options.origins.end();
        if (!same && !listed) {
            Refuse(res, 403, "origin_refused", "pages of " + origin + " may not use this service");
            return false;
        }
        if (listed) {
            res.set_header("Access-Control-Allow-Origin", origin);
            res.set_header("Vary", "Origin");
            res.set_header("Access-Control-Expose-Headers", "Location");
        }
        if (req.method == "OPTIONS") {
            res.set_header("Access-Control-Allow-Methods", "GET, POST, DELETE, OPTIONS");
            res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
            res.set_header("Access-Control-Max-Age", "600");
            // Private Network Access: a public page calling a service on the
            // local machine must be let through explicitly.
            if (req.get_header_value("Access-Control-Request-Private-Network") == "true")
                res.set_header("Access-Control-Allow-Private-Network", "true");
            res.status = 204;
            return false;
        }
    } else if (req.method == "OPTIONS") {
        res.set_header("Allow", "GET, POST, DELETE, OPTIONS");
        res.status = 204;
        return false;
    }
    bool guarded = req.path.compare(0, 4, "/v1/") == 0 || req.path == "/v1" || req.path == "/metrics";
    if (guarded && !options.token.empty() &&
        !SameSecret(req.get_header_value("Authorization"), "Bearer " + options.token)) {
        res.set_header("WWW-Authenticate", "Bearer");
        Refuse(res, 401, "unauthorized", "a valid \"Authorization: Bearer TOKEN\" header is required");
        return false;
    }
    return true;
}

void HttpApi::Routes() {
    server->Get("/", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-store");
        res.set_header("Content-Security-Policy", "default-src 'self'; style-src 'self' 'unsafe-inline'; "
                                                  "script-src 'self' 'unsafe-inline'");
        res.set_content(std::string(reinterpret_cast<const char*>(kOperatorPage), kOperatorPageSize),
                        "text/html; charset=utf-8");
    });

    server->Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(metrics.Text(journal.CountByState()), "text/plain; version=0.0.4; charset=utf-8");
    });

    server->Get("/v1/printers", [this](const httplib::Request&, httplib::Response& res) {
        Json list = Json::array();
        for (PrinterWorker* worker : service.Printers())
            list.push_back(PrinterJson(worker->Snapshot()));
        Reply(res, 200, {{"printers", list}});
    });

    server->Get(R"(/v1/printers/([^/]+)/status)", [this](const httplib::Request& req, httplib::Response& res) {
        PrinterWorker* worker = service.Printer(req.matches[1]);
        if (!worker) return Refuse(res, 404, "not_found", "no printer " + std::string(req.matches[1]));
        int waitMs = 0;
        if (!WaitParameter(req, 10000, waitMs))
            return Refuse(res, 400, "bad_request", "wait must be 0 to 600000 milliseconds", "wait");
        Json status, error;
        bool ok = worker->ReadStatus(status, Clock::now() + std::chrono::milliseconds(waitMs), error);
        Json body = PrinterJson(worker->Snapshot());
        if (!ok) {
            error["printer"] = body;
            return Reply(res, error.value("status", 503), error);
        }
        body["printer"] = status;
        Reply(res, 200, body);
    });

    server->Post(R"(/v1/printers/([^/]+)/(receipts|cash|documents|reports/x|reports/z|commands))",
                 [this](const httplib::Request& req, httplib::Response& res) {
                     std::string name = req.matches[1];
                     TaskKind kind = TaskKind::Receipt;
                     KindOfPath(req.matches[2], kind);
                     if (!service.Printer(name)) return Refuse(res, 404, "not_found", "no printer " + name);
                     int waitMs = 0;
                     if (!WaitParameter(req, 60000, waitMs))
                         return Refuse(res, 400, "bad_request", "wait must be 0 to 600000 milliseconds", "wait");
                     Service::Submission s = service.Submit(name, kind, req.body);
                     switch (s.kind) {
                     case Service::Submission::Kind::BadRequest:
                         return Refuse(res, 400, "bad_request", s.error.field + " " + s.error.message,
                                       s.error.field);
                     case Service::Submission::Kind::Failed:
                         return Refuse(res, 503, "unavailable", s.message);
                     case Service::Submission::Kind::Conflict: {
                         Json body = ErrorBody(409, "conflict",
                                               "the id " + s.task.id + " was used for another request", "id");
                         body["task"] = TaskJson(s.task);
                         return Reply(res, 409, body);
                     }
                     case Service::Submission::Kind::Replay:
                         return ReplyTask(res, s.task, true);
                     default:
                         break;
                     }
                     std::optional<TaskRecord> task =
                         service.Wait(s.task.id, Clock::now() + std::chrono::milliseconds(waitMs));
                     ReplyTask(res, task ? *task : s.task, s.kind == Service::Submission::Kind::Join);
                 });

    server->Get("/v1/tasks", [this](const httplib::Request& req, httplib::Response& res) {
        int limit = 20;
        if (req.has_param("limit")) {
            std::string text = req.get_param_value("limit");
            limit = text.size() <= 3 && !text.empty() && text.find_first_not_of("0123456789") == std::string::npos
                        ? std::atoi(text.c_str())
                        : 0;
            if (limit < 1 || limit > 200)
                return Refuse(res, 400, "bad_request", "limit must be 1 to 200", "limit");
        }
        Json list = Json::array();
        for (const TaskRecord& task : service.Recent(static_cast<size_t>(limit)))
            list.push_back(TaskJson(task));
        Reply(res, 200, {{"tasks", list}});
    });

    server->Get(R"(/v1/tasks/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
        std::string id = req.matches[1];
        int waitMs = 0;
        if (!WaitParameter(req, 0, waitMs))
            return Refuse(res, 400, "bad_request", "wait must be 0 to 600000 milliseconds", "wait");
        std::optional<TaskRecord> task = service.Find(id);
        if (!task) return Refuse(res, 404, "not_found", "no task " + id);
        if (waitMs > 0 && !IsFinal(task->state))
            task = service.Wait(id, Clock::now() + std::chrono::milliseconds(waitMs));
        res.set_header("Location", "/v1/tasks/" + id);
        Reply(res, 200, TaskJson(*task));
    });

    server->Delete(R"(/v1/tasks/([^/]+))", [this](const httplib::Request& req, httplib::Response& res) {
        std::string id = req.matches[1];
        std::optional<TaskRecord> task = service.Find(id);
        if (!task) return Refuse(res, 404, "not_found", "no task " + id);
        if (!service.Cancel(*task)) {
            Json body = ErrorBody(409, "started", "the task has started or ended and cannot be taken back");
            body["task"] = TaskJson(*task);
            return Reply(res, 409, body);
        }
        Reply(res, 200, TaskJson(*service.Find(id)));
    });
}

} // namespace korvod
