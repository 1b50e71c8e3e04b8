// The API's OpenAPI document against the route table it describes, and the
// router that table runs on.
#include "server/api/api_routes.h"
#include "server/api/route_table.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace zorvan {
namespace {

using nlohmann::json;

const std::set<std::string> httpMethods = {"get", "put", "post", "delete", "options", "head", "patch", "trace"};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "\n  " + line;
    return text;
}

// The "{name}" parts of a path pattern, in order.
std::vector<std::string> paramNames(const std::string& pattern) {
    std::vector<std::string> names;
    for (std::size_t open = pattern.find('{'); open != std::string::npos; open = pattern.find('{', open + 1)) {
        const std::size_t close = pattern.find('}', open);
        if (close == std::string::npos) break;
        names.push_back(pattern.substr(open + 1, close - open - 1));
    }
    return names;
}

json parsedDocument() {
    const json doc = json::parse(openApiText(), nullptr, false);
    EXPECT_FALSE(doc.is_discarded()) << "the built-in document is not JSON";
    return doc.is_discarded() ? json::object() : doc;
}

// A "$ref" resolved within the document; null when it leads nowhere.
json resolved(const json& doc, const json& value) {
    if (!value.is_object() || !value.contains("$ref")) return value;
    const std::string ref = value["$ref"].get<std::string>();
    if (ref.rfind("#/", 0) != 0) return nullptr;
    try {
        const json::json_pointer pointer(ref.substr(1));
        return doc.contains(pointer) ? doc.at(pointer) : json(nullptr);
    } catch (const json::exception&) {
        return nullptr;
    }
}

void collectRefs(const json& value, std::vector<std::string>& refs) {
    if (value.is_object()) {
        for (const auto& [key, member] : value.items()) {
            if (key == "$ref" && member.is_string()) refs.push_back(member.get<std::string>());
            else collectRefs(member, refs);
        }
    } else if (value.is_array()) {
        for (const json& member : value) collectRefs(member, refs);
    }
}

TEST(OpenApiTest, DocumentIsOpenApi3AndHoldsExactlyTheRouteTable) {
    const json doc = parsedDocument();
    ASSERT_TRUE(doc.is_object());
    ASSERT_TRUE(doc.contains("openapi") && doc["openapi"].is_string());
    EXPECT_EQ(doc["openapi"].get<std::string>().rfind("3.", 0), 0u) << doc["openapi"];
    ASSERT_TRUE(doc.contains("paths") && doc["paths"].is_object());
    const json& paths = doc["paths"];

    const ApiRoutes table = apiRoutes(nullptr);
    ASSERT_FALSE(table.routes().empty());
    std::set<std::pair<std::string, std::string>> routed;  // pattern, lower-case method
    std::vector<std::string> missing, twice;
    for (const auto& route : table.routes()) {
        const std::string method = lower(route.method);
        if (!routed.insert({route.pattern, method}).second) twice.push_back(route.method + " " + route.pattern);
        if (!paths.contains(route.pattern) || !paths[route.pattern].contains(method))
            missing.push_back(route.method + " " + route.pattern);
    }
    EXPECT_TRUE(missing.empty()) << "routes missing from openapi.json:" << joined(missing);
    EXPECT_TRUE(twice.empty()) << "routes added twice:" << joined(twice);

    std::vector<std::string> stale;
    for (const auto& [path, item] : paths.items()) {
        bool anyOperation = false;
        for (const auto& [key, operation] : item.items()) {
            if (!httpMethods.count(key)) continue;
            anyOperation = true;
            if (!routed.count({path, key})) stale.push_back(key + " " + path);
        }
        if (!anyOperation) stale.push_back(path + " (no operation)");
    }
    EXPECT_TRUE(stale.empty()) << "openapi.json describes what no route takes:" << joined(stale);
}

TEST(OpenApiTest, ParametersSecurityAndReferencesAgreeWithTheRouter) {
    const json doc = parsedDocument();
    ASSERT_TRUE(doc.contains("paths") && doc["paths"].is_object());
    const json::json_pointer schemesAt("/components/securitySchemes");
    const json schemes = doc.contains(schemesAt) ? doc.at(schemesAt) : json::object();

    // Every reference leads somewhere.
    std::vector<std::string> refs, broken;
    collectRefs(doc, refs);
    for (const std::string& ref : refs)
        if (resolved(doc, json{{"$ref", ref}}).is_null()) broken.push_back(ref);
    EXPECT_TRUE(broken.empty()) << "references that lead nowhere:" << joined(broken);

    // Each security requirement names declared schemes only.
    std::vector<std::string> unknownSchemes;
    const auto checkSchemes = [&](const json& security, const std::string& where) {
        for (const json& alternative : security)
            for (const auto& [name, scopes] : alternative.items())
                if (!schemes.contains(name)) unknownSchemes.push_back(where + ": " + name);
    };
    ASSERT_TRUE(doc.contains("security") && doc["security"].is_array());
    EXPECT_FALSE(doc["security"].empty()) << "without a global requirement every route would read as open";
    checkSchemes(doc["security"], "global");

    std::vector<std::string> paramFaults, securityFaults, sessionWithoutCsrf;
    std::set<std::string> operationIds;
    std::map<std::string, json> performerParams, idParams;  // by their text: most are one shared declaration
    const ApiRoutes table = apiRoutes(nullptr);
    for (const auto& route : table.routes()) {
        const std::string method = lower(route.method);
        const std::string name = route.method + " " + route.pattern;
        if (!doc["paths"].contains(route.pattern) || !doc["paths"][route.pattern].contains(method)) continue;
        const json& item = doc["paths"][route.pattern];
        const json& operation = item[method];

        const std::string operationId = operation.value("operationId", "");
        if (!operationId.empty() && !operationIds.insert(operationId).second)
            paramFaults.push_back(name + ": operationId " + operationId + " again");

        // The path parameters declared (the path's and the operation's) are
        // exactly the pattern's, each required.
        std::set<std::string> declared;
        for (const json* list : {&item, &operation}) {
            if (!list->contains("parameters")) continue;
            for (const json& given : (*list)["parameters"]) {
                const json param = resolved(doc, given);
                if (!param.is_object() || param.value("in", "") != "path") continue;
                const std::string paramName = param.value("name", "");
                declared.insert(paramName);
                if (!param.value("required", false)) paramFaults.push_back(name + ": {" + paramName + "} not required");
                if (paramName == "performer") performerParams.emplace(param.dump(), param);
                if (paramName == "id") idParams.emplace(param.dump(), param);
            }
        }
        const std::vector<std::string> inPattern = paramNames(route.pattern);
        for (const std::string& wanted : inPattern)
            if (!declared.count(wanted)) paramFaults.push_back(name + ": {" + wanted + "} not declared");
        for (const std::string& extra : declared)
            if (std::find(inPattern.begin(), inPattern.end(), extra) == inPattern.end())
                paramFaults.push_back(name + ": declares {" + extra + "}, which its path lacks");

        // Open routes say so; session routes keep a requirement, and one that
        // changes state asks the cookie's CSRF token beside the cookie.
        if (route.access == Access::Open) {
            if (!operation.contains("security") || operation["security"] != json::array())
                securityFaults.push_back(name + ": open, without security: []");
            continue;
        }
        if (operation.contains("security") && operation["security"].empty())
            securityFaults.push_back(name + ": needs a session, yet says security: []");
        const json& security = operation.contains("security") ? operation["security"] : doc["security"];
        checkSchemes(security, name);
        if (route.method != "GET")
            for (const json& alternative : security)
                if (alternative.contains("sessionCookie") && !alternative.contains("csrfHeader"))
                    sessionWithoutCsrf.push_back(name);
    }
    EXPECT_TRUE(paramFaults.empty()) << joined(paramFaults);
    EXPECT_TRUE(securityFaults.empty()) << joined(securityFaults);
    EXPECT_TRUE(unknownSchemes.empty()) << "undeclared security schemes:" << joined(unknownSchemes);
    EXPECT_TRUE(sessionWithoutCsrf.empty()) << "state-changing routes whose cookie needs no CSRF token:"
                                            << joined(sessionWithoutCsrf);

    // What the document lets a client send is what the router takes.
    ASSERT_FALSE(performerParams.empty());
    ASSERT_FALSE(idParams.empty());
    const std::vector<std::string> performers = {"a",  "Ab_-9", std::string(64, 'x'), std::string(65, 'x'), "",
                                                 "..", "a.b",   "a/b",                "\xc3\xa9",           " a",
                                                 "%2e"};
    for (const auto& [dumped, param] : performerParams) {
        const std::regex pattern(param.value("schema", json::object()).value("pattern", ""));
        for (const std::string& text : performers)
            EXPECT_EQ(std::regex_search(text, pattern), validParam("performer", text))
                << "the document and the router disagree on the performer \"" << text << "\"";
    }
    for (const auto& [dumped, param] : idParams) {
        const json schema = param.value("schema", json::object());
        EXPECT_EQ(schema.value("type", ""), "integer");
        const std::int64_t most = schema.value("maximum", std::int64_t{0});
        EXPECT_TRUE(validParam("id", std::to_string(most))) << most;
        EXPECT_FALSE(validParam("id", std::to_string(most + 1))) << most + 1;
    }
}

TEST(ApiRouterTest, PatternsTakeOnlyWhatTheirParametersAllow) {
    std::vector<std::string> params;
    EXPECT_TRUE(matchPattern("/api/queue/{id}/pause", "/api/queue/12/pause", params));
    EXPECT_EQ(params, std::vector<std::string>{"12"});
    for (const char* path : {"/api/queue/12/pause/", "/api/queue//pause", "/api/queue/12", "/api/queue/12/pause/x",
                             "api/queue/12/pause", "/api/queue/12/Pause", ""}) {
        params.clear();
        EXPECT_FALSE(matchPattern("/api/queue/{id}/pause", path, params)) << path;
    }
    params.clear();
    EXPECT_TRUE(matchPattern("/a/{performer}/b/{id}", "/a/x_y/b/7", params));
    EXPECT_EQ(params, (std::vector<std::string>{"x_y", "7"}));

    EXPECT_TRUE(validParam("id", "7"));
    EXPECT_TRUE(validParam("id", "123456789"));
    for (const char* id : {"1a", "-1", "", "1234567890", "..", "%2e", "+1", " 1"})
        EXPECT_FALSE(validParam("id", id)) << '"' << id << '"';

    EXPECT_TRUE(validParam("performer", "Ab_-9"));
    EXPECT_TRUE(validParam("performer", std::string(64, 'p')));
    for (const std::string& performer :
         {std::string(".."), std::string("a/b"), std::string("a.b"), std::string(65, 'p'), std::string(),
          std::string("\xc3\xa9t\xc3\xa9"), std::string("a\\b"), std::string("a%2fb")})
        EXPECT_FALSE(validParam("performer", performer)) << '"' << performer << '"';

    const ApiRoutes table = apiRoutes(nullptr);
    // A known path under a method it does not take: 405, not 404.
    ApiRoutes::Match wrongMethod = table.match("GET", "/api/queue/12/pause");
    EXPECT_EQ(wrongMethod.route, nullptr);
    EXPECT_TRUE(wrongMethod.pathKnown);
    ApiRoutes::Match nowhere = table.match("GET", "/api/nothing");
    EXPECT_EQ(nowhere.route, nullptr);
    EXPECT_FALSE(nowhere.pathKnown);
    ApiRoutes::Match taken = table.match("POST", "/api/queue/12/pause");
    ASSERT_NE(taken.route, nullptr);
    EXPECT_EQ(taken.route->pattern, "/api/queue/{id}/pause");
    EXPECT_EQ(taken.params, std::vector<std::string>{"12"});
    // "actions" is no id: only its own route takes it.
    EXPECT_EQ(table.match("GET", "/api/queue/actions").route, nullptr);
    EXPECT_TRUE(table.match("GET", "/api/queue/actions").pathKnown);

    // No route is hidden behind an earlier one that takes its paths too.
    std::vector<std::string> hidden;
    for (const auto& route : table.routes()) {
        std::string path = route.pattern;
        for (const auto& [name, sample] : std::map<std::string, std::string>{{"{id}", "1"}, {"{performer}", "p"}})
            for (std::size_t at = path.find(name); at != std::string::npos; at = path.find(name))
                path.replace(at, name.size(), sample);
        const ApiRoutes::Match found = table.match(route.method, path);
        if (found.route != &route) hidden.push_back(route.method + " " + route.pattern);
    }
    EXPECT_TRUE(hidden.empty()) << "routes another one takes first:" << joined(hidden);
}

}  // namespace
}  // namespace zorvan
