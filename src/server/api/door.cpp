#include "server/api/door.h"

#include "server/access/cookie_text.h"
#include "server/access/host_check.h"
#include "server/access/password_hash.h"
#include "server/access/secret_file.h"

namespace zorvan {

using nlohmann::json;

namespace {

bool changesState(const std::string& method) { return method != "GET" && method != "HEAD" && method != "OPTIONS"; }

}  // namespace

Door::Door(DoorSettings settings)
    : settings_(std::move(settings)), throttle_(settings_.longestLoginPause) {}

bool Door::rightHost(const httplib::Request& request) const {
    return hostAllowed(request.get_header_value("Host"), settings_.allowedHosts);
}

bool Door::bearerMatches(const httplib::Request& request) const {
    const std::string given = request.get_header_value("Authorization");
    const std::string prefix = "Bearer ";
    return !settings_.token.empty() && given.size() > prefix.size() && given.compare(0, prefix.size(), prefix) == 0 &&
           sameSecret(given.substr(prefix.size()), settings_.token);
}

std::optional<Session> Door::sessionOf(const httplib::Request& request) {
    const std::string id = cookieValue(request.get_header_value("Cookie"), cookieName);
    if (id.empty()) return std::nullopt;
    return sessions_.find(id, SessionStore::Clock::now());
}

void Door::admit(const httplib::Request& request, Access access) {
    if (!rightHost(request)) refuse(403, "this server does not answer to the host named in the request");
    if (access == Access::Open || bearerMatches(request)) return;
    const std::optional<Session> session = sessionOf(request);
    if (!session) refuse(401, "log in first (POST /api/login), or send the access token as a bearer token");
    if (changesState(request.method) && !sameSecret(request.get_header_value(csrfHeader), session->csrf))
        refuse(403, std::string("a request that changes something needs the session's ") + csrfHeader + " header");
}

void Door::startSession(httplib::Response& response, const Session& session) const {
    response.set_header("Set-Cookie", sessionCookie(cookieName, session.id, settings_.secure, sessions_.idleLimit()));
    response.set_header("Cache-Control", "no-store");
}

void Door::login(Exchange& exchange) {
    const std::string& address = exchange.request.remote_addr;
    const auto now = LoginThrottle::Clock::now();
    if (const auto wait = throttle_.waitBefore(address, now); wait.count() > 0) {
        exchange.response.set_header("Retry-After", std::to_string((wait.count() + 999) / 1000));
        refuse(429, "too many failed logins from this address: try again later");
    }
    const json body = exchange.body();
    bool right = false;
    if (body.contains("token") && body["token"].is_string()) {
        right = !settings_.token.empty() && sameSecret(body["token"].get<std::string>(), settings_.token);
    } else if (body.contains("password") && body["password"].is_string()) {
        std::lock_guard hold(hashing_);
        right = !settings_.passwordHash.empty() && passwordMatches(settings_.passwordHash, body["password"]);
    } else {
        refuse(422, "send {\"password\": ...} or {\"token\": ...}");
    }
    if (!right) {
        throttle_.noteFailure(address, LoginThrottle::Clock::now());
        refuse(401, "wrong password or token");
    }
    throttle_.noteSuccess(address);
    const Session session = sessions_.create(SessionStore::Clock::now());
    startSession(exchange.response, session);
    exchange.reply({{"csrf", session.csrf}});
}

void Door::logout(Exchange& exchange) {
    const std::string id = cookieValue(exchange.request.get_header_value("Cookie"), cookieName);
    if (!id.empty()) sessions_.end(id);
    exchange.response.set_header("Set-Cookie",
                                 sessionCookie(cookieName, "", settings_.secure, std::chrono::seconds(0)));
    exchange.reply({{"loggedOut", true}});
}

void Door::session(Exchange& exchange) {
    const std::optional<Session> session = sessionOf(exchange.request);
    if (!session) {
        // A bearer token needs no session; it has no CSRF token either.
        exchange.reply({{"csrf", nullptr}});
        return;
    }
    exchange.response.set_header("Cache-Control", "no-store");
    exchange.reply({{"csrf", session->csrf}});
}

bool Door::enterWithToken(const httplib::Request& request, httplib::Response& response) {
    const std::string given = request.get_param_value("token");
    if (given.empty() || settings_.token.empty() || !sameSecret(given, settings_.token)) return false;
    startSession(response, sessions_.create(SessionStore::Clock::now()));
    // On without the token: it stays out of the history and the address bar.
    response.status = 303;
    response.set_header("Location", "/");
    return true;
}

}  // namespace zorvan
