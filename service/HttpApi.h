// korvod's HTTP face: the /v1 JSON API, the operator's page and /metrics,
// with the token check, CORS for the configured origins (Private Network
// Access included), the 1 MiB body limit and JSON for every error.
#pragma once

#include <memory>
#include <string>

#include "Options.h"

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace korvod {

class Journal;
class Metrics;
class Service;

constexpr size_t kBodyLimit = 1 << 20;

class HttpApi {
public:
    HttpApi(Service& service, Journal& journal, Metrics& metrics, const ServiceOptions& options);
    ~HttpApi();
    HttpApi(const HttpApi&) = delete;
    HttpApi& operator=(const HttpApi&) = delete;

    // The port bound, or -1 with a reason.
    int Bind(std::string& error);
    // Serves until Stop.
    void Serve();
    void Stop();

private:
    bool Admit(const httplib::Request& req, httplib::Response& res);
    void Routes();

    Service& service;
    Journal& journal;
    Metrics& metrics;
    const ServiceOptions& options;
    std::unique_ptr<httplib::Server> server;
    int port = 0;
};

} // namespace korvod
