#pragma once

#include "catalogue/works_view.h"

#include <string>
#include <vector>

namespace zorvan::test {

// A works view that records what the retrieval does to it, without Qt and
// without really waiting. Texts are kept as given (code page 936).
class RecordingWorksView : public WorksView {
public:
    struct Row {
        std::vector<std::string> cells = std::vector<std::string>(3);
    };

    std::string id = "100001";
    std::vector<Row> rows;
    std::vector<std::string> titles;
    std::vector<std::pair<std::string, bool>> buttonStates;
    std::vector<int> waits;
    std::vector<std::string> notices;
    // The title at the moment each row was appended.
    std::vector<std::string> titleAtAppend;

    std::string performerId() override { return id; }
    void setFetchButton(const std::string& caption, bool enabled) override { buttonStates.emplace_back(caption, enabled); }
    void setTitle(const std::string& title) override { titles.push_back(title); }
    int rowCount() override { return static_cast<int>(rows.size()); }
    void appendRow(const std::string& text) override {
        rows.emplace_back();
        rows.back().cells[0] = text;
        titleAtAppend.push_back(titles.empty() ? std::string() : titles.back());
    }
    void setCell(int row, int column, const std::string& text) override {
        rows.at(static_cast<std::size_t>(row)).cells.at(static_cast<std::size_t>(column)) = text;
    }
    void wait(int milliseconds) override { waits.push_back(milliseconds); }
    void notice(const std::string& text) override { notices.push_back(text); }
};

}  // namespace zorvan::test
