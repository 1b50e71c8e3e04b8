#pragma once

#include <functional>

namespace zorvan {

// "确定": the works retrieval runs on a worker of its own. One at a time: a
// second would share the list and its row numbers with the first. Nothing
// when `routine` is empty.
void startRetrieval(std::function<void()> routine);

// True while it runs; further clicks and sorting wait until it ends.
bool retrievalUnderWay();

}  // namespace zorvan
