#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

namespace zorvan::test {

// What a message box looked like when it was answered.
struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QStringList buttonTexts;  // as the user reads them, in the box's order
    QWidget* owner = nullptr;
};

// Answers the next message box that opens, so no test waits on a person:
// polls the GUI thread's top-level widgets, records the box and presses
// the given button. Lives on the GUI thread.
class BoxAnswerer {
public:
    using SeenCallback = std::function<void(const SeenBox&)>;
    explicit BoxAnswerer(QMessageBox::StandardButton answer, SeenCallback onSeen = {});
    // Answers the next boxes in turn, one answer each.
    explicit BoxAnswerer(std::vector<QMessageBox::StandardButton> answers);
    ~BoxAnswerer();

    const std::optional<SeenBox>& seen() const { return seen_; }  // the last box answered
    const std::vector<SeenBox>& all() const { return all_; }

private:
    void poll();

    std::vector<QMessageBox::StandardButton> answers_;
    SeenCallback onSeen_;
    std::vector<SeenBox> all_;
    QTimer timer_;
    std::optional<SeenBox> seen_;
};

// Processes GUI events until the condition holds or the time runs out.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
// Processes GUI events for a while: what the workers tell meanwhile is shown.
void settleFor(int ms);

}  // namespace zorvan::test
