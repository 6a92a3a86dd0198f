#include "sim/serve/ModelStation.h"

#include <cstring>

#include "sim/model/PrinterModel.h"
#include "sim/serve/Simulator.h"

namespace korvo::sim {

ModelStation::ModelStation(Simulator& s) : simulator(s), connection(s.NewConnectionId()) {}

std::string ModelStation::Execute(const std::string& request) {
    size_t length = request.size();
    if (length && request[length - 1] == '\n') --length;
    if (length >= sizeof line) {
        // More than a request line can hold: answered like the other front
        // ends answer an overlong line.
        PrinterModel::AnswerTooLong(request.c_str(), length, reply);
        return std::string(reply.text, reply.length);
    }
    std::memcpy(line, request.data(), length);
    line[length] = '\0';
    simulator.Exchange(connection, line, length, reply);
    return std::string(reply.text, reply.length);
}

} // namespace korvo::sim
