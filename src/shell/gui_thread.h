#pragma once

#include <functional>
#include <utility>

namespace zorvan {

// Widgets are touched on the GUI thread only. Workers reach them through
// these calls: posted work runs later, in the order it was posted; a call
// blocks until the GUI thread has answered.

// Records the calling thread as the GUI thread (done by start-up).
void markGuiThread();
bool isGuiThread();

// Runs fn on the GUI thread: at once when already there, else queued.
void postToGui(std::function<void()> fn);

// Runs fn on the GUI thread and waits for it to finish.
void runOnGuiAndWait(const std::function<void()>& fn);

template <class F>
auto callOnGui(F&& fn) -> decltype(fn()) {
    using R = decltype(fn());
    if constexpr (std::is_void_v<R>) {
        runOnGuiAndWait(std::forward<F>(fn));
    } else {
        R result{};
        runOnGuiAndWait([&] { result = fn(); });
        return result;
    }
}

}  // namespace zorvan
