#include "server/api/exchange.h"

#include "words/item_json.h"

namespace zorvan {

using nlohmann::json;

void writeError(httplib::Response& response, int status, const std::string& cause) {
    response.status = status;
    response.set_content(json{{"error", status}, {"cause", cause}}.dump(), "application/json");
}

json Exchange::body() const {
    if (request.body.empty()) return json::object();
    json parsed = json::parse(request.body, nullptr, false);
    if (parsed.is_discarded()) refuse(400, "the body is not JSON");
    if (!parsed.is_object()) refuse(400, "the body must be a JSON object");
    return parsed;
}

void Exchange::reply(const json& value, int status) {
    response.status = status;
    // Invalid UTF-8 from a file name or the service is replaced, never a
    // reason to fail the whole answer.
    response.set_content(jsonText(value), "application/json");
}

std::vector<int> idsOf(const json& body, const char* member) {
    if (!body.contains(member) || !body[member].is_array() || body[member].empty())
        refuse(422, std::string(member) + " must be a list of whole numbers");
    std::vector<int> ids;
    for (const json& id : body[member]) {
        if (!id.is_number_integer() || id.get<std::int64_t>() < 1 || id.get<std::int64_t>() > 999999999)
            refuse(422, std::string(member) + " must hold whole numbers from 1");
        ids.push_back(id.get<int>());
    }
    return ids;
}

}  // namespace zorvan
