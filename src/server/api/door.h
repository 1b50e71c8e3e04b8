#pragma once

#include "server/access/login_throttle.h"
#include "server/access/sessions.h"
#include "server/api/exchange.h"
#include "server/api/route_table.h"

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

namespace zorvan {

// How the server's door is kept.
struct DoorSettings {
    std::vector<std::string> allowedHosts;  // what the Host header may name
    std::string token;                      // the loopback token; empty: not taken
    std::string passwordHash;               // empty: no password login
    bool secure = false;                    // over TLS: the cookie says Secure
    std::chrono::milliseconds longestLoginPause{std::chrono::seconds(30)};
};

// Who may come in: the Host header must name this server (against DNS
// rebinding); a client shows the loopback token as a bearer token, or a
// session cookie from a login, and a cookie's request that changes state
// shows the session's CSRF token in X-CSRF-Token (a form or script on
// another site cannot read it). Failed logins are slowed per client address.
class Door {
public:
    static constexpr const char* cookieName = "zorvan_session";
    static constexpr const char* csrfHeader = "X-CSRF-Token";

    explicit Door(DoorSettings settings);

    // Refuses (throws ApiError) a request that may not pass.
    void admit(const httplib::Request& request, Access access);
    // Whether the Host header names this server.
    bool rightHost(const httplib::Request& request) const;

    // POST /api/login {"password"} or {"token"}: a session cookie and its
    // CSRF token.
    void login(Exchange& exchange);
    void logout(Exchange& exchange);
    // GET /api/session: the session's CSRF token, for a page that has the cookie.
    void session(Exchange& exchange);
    // A browser arriving through the ready link (/?token=...): true when
    // it was let in (the cookie set, sent on without the token).
    bool enterWithToken(const httplib::Request& request, httplib::Response& response);

private:
    std::optional<Session> sessionOf(const httplib::Request& request);
    bool bearerMatches(const httplib::Request& request) const;
    void startSession(httplib::Response& response, const Session& session) const;

    DoorSettings settings_;
    SessionStore sessions_;
    LoginThrottle throttle_;
    std::mutex hashing_;  // one password check at a time: each takes tens of MiB
};

}  // namespace zorvan
