#pragma once

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace zorvan {

// A request the API refuses: the status and why, in English. Handlers
// throw it; the front answers it as {"error": status, "cause": why}.
struct ApiError {
    int status;
    std::string cause;
};
[[noreturn]] inline void refuse(int status, std::string cause) { throw ApiError{status, std::move(cause)}; }

// The JSON answer of a refusal.
void writeError(httplib::Response& response, int status, const std::string& cause);

// One request to a route and its answer.
struct Exchange {
    const httplib::Request& request;
    httplib::Response& response;
    std::vector<std::string> params;  // the route's, in its pattern's order

    // The body as a JSON object; an empty body is an empty object. Not
    // JSON, or not an object: 400.
    nlohmann::json body() const;
    // A route parameter that is a number ({id}).
    int idParam(std::size_t at) const { return std::stoi(params.at(at)); }
    void reply(const nlohmann::json& value, int status = 200);
};

// A member holding a list of work ids (whole numbers); 422 when it is
// missing or holds anything else.
std::vector<int> idsOf(const nlohmann::json& body, const char* member = "ids");

}  // namespace zorvan
