#pragma once

#include "catalogue/works_view.h"

namespace zorvan {

// Properties of the works list: the performer and the service its rows
// were listed from.
inline constexpr const char* listedPerformerProperty = "listedPerformer";
inline constexpr const char* listedServiceProperty = "listedService";

// The works retrieval's view of the main window, used from the retrieval's
// worker thread: writes are queued to the GUI thread in order, reads wait
// for its answer. Texts cross from code page 936 to the widgets here. A
// window kept on top keeps its marker behind every title.
class WorksListView : public WorksView {
public:
    std::string performerId() override;
    void setFetchButton(const std::string& caption, bool enabled) override;
    void setTitle(const std::string& title) override;
    int rowCount() override;
    void appendRow(const std::string& text) override;
    void setCell(int row, int column, const std::string& text) override;
    void setWorkId(int row, const std::string& id) override;
    void wait(int milliseconds) override;
    void notice(const std::string& text) override;
    void progress(Step step, std::size_t at, std::size_t of) override;
};

}  // namespace zorvan
