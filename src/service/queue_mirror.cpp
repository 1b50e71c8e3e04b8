#include "service/queue_mirror.h"

#include "download_policy/work_file.h"

namespace zorvan {

bool QueueMirror::apply(const std::vector<ServiceEvent>& events) {
    bool changed = false;
    for (const ServiceEvent& event : events) changed = apply(event) || changed;
    dropGone();
    return changed;
}

bool QueueMirror::apply(const ServiceEvent& event) {
    switch (event.kind) {
        case ServiceEvent::Kind::Changed:
            if (const auto at = index_.find(event.item.id); at != index_.end()) {
                items_[at->second] = event.item;
            } else {
                dropGone();  // a new work goes last of those still there
                index_.emplace(event.item.id, items_.size());
                items_.push_back(event.item);
            }
            return true;
        case ServiceEvent::Kind::Removed:
            if (index_.count(event.id)) gone_.insert(event.id);
            return true;
        case ServiceEvent::Kind::Reordered:
        {
            dropGone();
            std::vector<QueueItem> ordered;
            ordered.reserve(items_.size());
            for (int id : event.order)
                if (const auto at = index_.find(id); at != index_.end()) ordered.push_back(std::move(items_[at->second]));
            items_ = std::move(ordered);
            reindex();
            return true;
        }
        case ServiceEvent::Kind::Progress:
            for (const QueueItem& running : event.items)
                if (const auto at = index_.find(running.id); at != index_.end()) items_[at->second] = running;
            return true;
        case ServiceEvent::Kind::Status:
        case ServiceEvent::Kind::QueuePaused:
            status_ = event.status;
            return true;
        case ServiceEvent::Kind::Answered:
            if (unanswered_ > 0) --unanswered_;
            return true;
        default: return false;
    }
}

const QueueItem* QueueMirror::item(int id) const {
    const auto at = index_.find(id);
    return at == index_.end() ? nullptr : &items_[at->second];
}

int QueueMirror::indexOf(int id) const {
    const auto at = index_.find(id);
    return at == index_.end() ? -1 : static_cast<int>(at->second);
}

const QueueItem* QueueMirror::findUnsettled(const Work& work) const {
    const std::string key = workKey(work.address);
    for (const QueueItem& i : items_)
        if (!i.settled() && workKey(i.work.address) == key) return &i;
    return nullptr;
}

void QueueMirror::dropGone() {
    if (gone_.empty()) return;
    std::erase_if(items_, [this](const QueueItem& item) { return gone_.count(item.id) != 0; });
    gone_.clear();
    reindex();
}

void QueueMirror::reindex() {
    index_.clear();
    for (std::size_t i = 0; i < items_.size(); ++i) index_.emplace(items_[i].id, i);
}

}  // namespace zorvan
