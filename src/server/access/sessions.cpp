#include "server/access/sessions.h"

#include "server/access/secret_file.h"

#include <sodium.h>

#include <algorithm>

namespace zorvan {
namespace {

std::string keyOf(const std::string& id) {
    unsigned char hash[crypto_generichash_BYTES];
    crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(id.data()), id.size(), nullptr, 0);
    return std::string(reinterpret_cast<const char*>(hash), sizeof hash);
}

}  // namespace

SessionStore::SessionStore(std::chrono::seconds idleLimit, std::size_t capacity)
    // sodium_init picks the code the ids are hashed with: done here, before
    // any thread looks one up, never under a running look-up.
    : idleLimit_(idleLimit), capacity_(std::max<std::size_t>(capacity, 1)), sodiumStarted_(sodium_init() >= 0) {}

Session SessionStore::create(Clock::time_point now) {
    if (!sodiumStarted_) return {};  // no randomness: nothing kept, and find("") finds nothing
    Session session{randomToken(), randomToken()};
    std::lock_guard lock(mutex_);
    while (!entries_.empty() && (entries_.size() >= capacity_ || idle(entries_.front(), now))) {
        erase(entries_.begin());
    }
    entries_.push_back(Entry{keyOf(session.id), session, now});
    byKey_[entries_.back().key] = std::prev(entries_.end());
    return session;
}

std::optional<Session> SessionStore::find(const std::string& id, Clock::time_point now) {
    if (id.empty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto found = byKey_.find(keyOf(id));
    if (found == byKey_.end()) return std::nullopt;
    const Entries::iterator entry = found->second;
    if (idle(*entry, now)) {
        erase(entry);
        return std::nullopt;
    }
    entry->lastUse = now;
    entries_.splice(entries_.end(), entries_, entry);
    return entry->session;
}

void SessionStore::end(const std::string& id) {
    std::lock_guard lock(mutex_);
    const auto found = byKey_.find(keyOf(id));
    if (found != byKey_.end()) erase(found->second);
}

void SessionStore::erase(Entries::iterator entry) {
    byKey_.erase(entry->key);
    entries_.erase(entry);
}

}  // namespace zorvan
