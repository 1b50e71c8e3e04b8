#include "store/follow_store.h"

#include "store/database.h"
#include "store/statement.h"

namespace zorvan {

using store::Statement;

namespace {

// A work listed after the first good check, still listed, and not yet in
// a complete file (as `w`, a row of works_seen).
#define NEW_WORK                                                                                      \
    "w.fresh = 1 AND w.gone = 0 AND NOT EXISTS (SELECT 1 FROM files x WHERE x.complete = 1 AND"       \
    " (x.key = w.key OR (w.work_id != '' AND x.performer = w.performer AND x.work_id = w.work_id)))"

}  // namespace

std::string seenIdentity(const SeenWork& work) {
    return work.workId.empty() ? "key:" + work.key : "id:" + work.workId;
}

bool FollowStore::follow(const std::string& performer, std::int64_t now, std::string& error) {
    Statement s(db_.handle(), "INSERT OR IGNORE INTO followed (performer, added) VALUES (?, ?)");
    if (s.ready() && s.bind(1, performer).bind(2, now).done()) return true;
    error = db_.lastError();
    return false;
}

bool FollowStore::unfollow(const std::string& performer, std::string& error) {
    Statement s(db_.handle(), "DELETE FROM followed WHERE performer = ?");
    if (!s.ready() || !s.bind(1, performer).done()) {
        error = db_.lastError();
        return false;
    }
    return sqlite3_changes(db_.handle()) > 0;
}

std::vector<FollowedPerformer> FollowStore::following(std::string& error) {
    std::vector<FollowedPerformer> list;
    Statement s(db_.handle(),
                "SELECT f.performer, f.added, f.last_checked, f.last_error,"
                " (SELECT count(*) FROM works_seen w WHERE w.performer = f.performer AND w.gone = 0),"
                " (SELECT count(*) FROM works_seen w WHERE w.performer = f.performer AND " NEW_WORK ")"
                " FROM followed f ORDER BY f.added, f.performer");
    if (!s.ready()) {
        error = db_.lastError();
        return list;
    }
    while (s.row()) list.push_back({s.text(0), s.int64(1), s.int64(2), s.text(3), s.integer(4), s.integer(5)});
    return list;
}

// What a good check listed is seen now, and everything else gone.
bool FollowStore::markSeen(const std::string& performer, const std::vector<SeenWork>& listed, bool fresh,
                           std::int64_t now) {
    Statement gone(db_.handle(), "UPDATE works_seen SET gone = 1 WHERE performer = ?");
    if (!gone.ready() || !gone.bind(1, performer).done()) return false;
    // A work seen before its service gave ids is taken over by its address.
    Statement adopt(db_.handle(),
                    "UPDATE works_seen SET work = ?2 WHERE performer = ?1 AND work = ?3 AND NOT EXISTS"
                    " (SELECT 1 FROM works_seen WHERE performer = ?1 AND work = ?2)");
    Statement seen(db_.handle(),
                   "INSERT INTO works_seen (performer, work, sequence, song, address, first_seen, last_seen, gone, fresh,"
                   " key, work_id, repeat) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?6, 0, ?7, ?8, ?9, ?10)"
                   " ON CONFLICT (performer, work) DO UPDATE SET sequence = ?3, song = ?4, address = ?5,"
                   " last_seen = ?6, gone = 0, key = ?8, work_id = ?9, repeat = ?10");
    if (!adopt.ready() || !seen.ready()) return false;
    for (const SeenWork& work : listed) {
        const std::string identity = seenIdentity(work);
        if (!work.workId.empty()) {
            adopt.reset();
            if (!adopt.bind(1, performer).bind(2, identity).bind(3, "key:" + work.key).done()) return false;
        }
        seen.reset();
        if (!seen.bind(1, performer).bind(2, identity).bind(3, work.sequence).bind(4, work.songName)
                 .bind(5, work.address).bind(6, now).bind(7, fresh).bind(8, work.key).bind(9, work.workId)
                 .bind(10, work.repeat).done())
            return false;
    }
    return true;
}

int FollowStore::knownWorks(const std::string& performer) {
    Statement count(db_.handle(), "SELECT count(*) FROM works_seen WHERE performer = ?");
    return count.ready() && count.bind(1, performer).row() ? count.integer(0) : -1;
}

int FollowStore::recordCheck(const std::string& performer, const std::vector<SeenWork>& listed,
                             const std::string& failure, std::int64_t now, std::string& error) {
    if (!db_.run("BEGIN IMMEDIATE", error)) return -1;
    const auto fail = [&] {
        error = db_.lastError();
        db_.rollback();
        return -1;
    };
    // Works are new only after a first good check: what it finds is where
    // following began.
    bool listedBefore = false;
    {
        Statement s(db_.handle(), "SELECT listed FROM followed WHERE performer = ?");
        if (!s.ready()) return fail();
        listedBefore = s.bind(1, performer).row() && s.integer(0) != 0;
    }
    Statement checked(db_.handle(),
                      "UPDATE followed SET last_checked = ?1, last_error = ?2,"
                      " listed = listed OR ?2 = '' WHERE performer = ?3");
    if (!checked.ready() || !checked.bind(1, now).bind(2, failure).bind(3, performer).done()) return fail();
    int added = 0;
    // A failed check says nothing of what the service holds: nothing is gone.
    if (failure.empty()) {
        const int before = knownWorks(performer);
        if (before < 0 || !markSeen(performer, listed, listedBefore, now)) return fail();
        const int after = knownWorks(performer);
        if (after < 0) return fail();
        added = after - before;
    }
    return db_.run("COMMIT", error) ? added : -1;
}

int FollowStore::unseenCount(const std::string& performer, const std::vector<SeenWork>& listed, std::string& error) {
    Statement known(db_.handle(), "SELECT 1 FROM works_seen WHERE performer = ?1 AND (work = ?2 OR work = ?3)");
    if (!known.ready()) {
        error = db_.lastError();
        return -1;
    }
    int unseen = 0;
    for (const SeenWork& work : listed) {
        known.reset();
        if (!known.bind(1, performer).bind(2, seenIdentity(work)).bind(3, "key:" + work.key).row()) ++unseen;
    }
    return unseen;
}

std::vector<SeenWork> FollowStore::newWorks(const std::string& performer, std::string& error) {
    std::vector<SeenWork> works;
    Statement s(db_.handle(), "SELECT w.sequence, w.song, w.address, w.key, w.work_id, w.repeat FROM works_seen w"
                              " WHERE w.performer = ? AND " NEW_WORK " ORDER BY w.sequence");
    if (!s.ready()) {
        error = db_.lastError();
        return works;
    }
    s.bind(1, performer);
    while (s.row()) works.push_back({s.integer(0), s.text(1), s.text(2), s.text(3), s.text(4), s.integer(5)});
    return works;
}

}  // namespace zorvan
