#pragma once

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
    // Waits this many milliseconds while the window stays responsive.
    virtual void wait(int milliseconds) = 0;
    // The notice box; returns when the user has answered it.
    virtual void notice(const std::string& text) = 0;
    // Whether the service's first answer had the works list's shape (a page
    // count), so a view can tell "no works" from an answer it cannot read.
    virtual void listingUnderstood(bool understood) { (void)understood; }
};

}  // namespace zorvan
