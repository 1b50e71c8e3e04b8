#pragma once

#include <cstddef>
#include <string>

namespace zorvan {

// What the works retrieval needs of the window it fills. Texts are code
// page 936. The GUI, the tests and the command-line tool each supply one;
// every call comes from the retrieval's own thread.
class WorksView {
public:
    virtual ~WorksView() = default;

    virtual std::string performerId() = 0;
    virtual void setFetchButton(const std::string& caption, bool enabled) = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual int rowCount() = 0;
    // Appends a row whose own text (column 0) is `text`.
    virtual void appendRow(const std::string& text) = 0;
    virtual void setCell(int row, int column, const std::string& text) = 0;
    // The work's own id on the service, when its record gives one: what
    // knows the work however its address or name change.
    virtual void setWorkId(int row, const std::string& id) { (void)row, (void)id; }
    // Waits this many milliseconds while the window stays responsive.
    virtual void wait(int milliseconds) = 0;
    // The notice box; returns when the user has answered it.
    virtual void notice(const std::string& text) = 0;
    // Whether the service's first answer had the works list's shape (a page
    // count), so a view can tell "no works" from an answer it cannot read.
    virtual void listingUnderstood(bool understood) { (void)understood; }
    // What a service that sent no works list said instead (its "msg").
    virtual void serviceMessage(const std::string& text) { (void)text; }
    // The retrieval's progress beside its title: page `at` of `of`, then
    // row `at` of `of`, for a view that words it itself.
    enum class Step { Pages, Rows };
    virtual void progress(Step step, std::size_t at, std::size_t of) { (void)step, (void)at, (void)of; }
    // How many pages may be asked for at once: one, as the window pages; a
    // view without a window may take several, over a long round trip each
    // page otherwise costs one.
    virtual int pagesAtOnce() { return 1; }
};

}  // namespace zorvan
