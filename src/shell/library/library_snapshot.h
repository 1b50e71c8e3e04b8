#pragma once

#include "store/known_files.h"

#include <QObject>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace zorvan {

// What the library database knows of saved files, as the window reads it:
// a copy read off the GUI thread, so the window's thread never opens the
// database or waits for its lock. Read again when the library learns of
// saved files and when a view asks; `changed` says a new copy is in.
class LibrarySnapshot : public QObject {
    Q_OBJECT
public:
    LibrarySnapshot();
    ~LibrarySnapshot() override;

    // Which work each file holds (by name only until the first copy is in).
    const KnownFiles& known() const { return known_; }
    // The files whose last reading through found other bytes than those saved.
    const std::set<std::string>& damaged() const { return damaged_; }
    // Reads the library again off this thread; one reading at a time, and
    // one more after it when asked meanwhile.
    void refresh();
    // This program changed the library (files saved): the copy is stale
    // until a reading begun after now is in.
    void markStale();
    bool fresh() const { return !stale_; }
    // Runs `then` on this thread with a copy that knows every change this
    // program made: at once when it does, else once the reading is in.
    void whenFresh(std::function<void()> then);

signals:
    void changed();

private:
    struct Reading;
    void taken(KnownFiles known, std::set<std::string> damaged);

    KnownFiles known_;
    std::set<std::string> damaged_;
    std::shared_ptr<Reading> reading_;  // the reading under way, if any
    bool again_ = false;                // asked for while one was under way
    bool stale_ = false;                // a change is not in the copy yet
    int change_ = 0;                    // changes marked so far
    int readingFrom_ = 0;               // the changes the reading under way will know
    std::vector<std::function<void()>> waiting_;  // to run once fresh
};

// The window's one copy, made at first use (it starts reading then).
LibrarySnapshot& librarySnapshot();

}  // namespace zorvan
