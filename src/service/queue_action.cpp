#include "service/queue_action.h"

#include "queue/queue_item.h"

namespace zorvan {

std::string refusal(QueueAction action, ItemState state) {
    const std::string is = std::string("it is ") + stateName(state);
    switch (action) {
        case QueueAction::Pause:
            return state == ItemState::Waiting || state == ItemState::Running ? std::string() : is;
        case QueueAction::Continue:
            return state == ItemState::Paused || state == ItemState::Failed ? std::string() : is;
        case QueueAction::Retry: return state == ItemState::Failed ? std::string() : is + ", not failed";
        case QueueAction::Cancel: return state == ItemState::Done ? is + ": remove it instead" : std::string();
        case QueueAction::Remove: return {};
    }
    return is;
}

}  // namespace zorvan
