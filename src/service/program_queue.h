#pragma once

#include "queue/download_queue.h"

namespace zorvan {

// How the program drives a download queue, in the window and on the home
// server alike: the engine's values for each work (the service adds its
// limits), an expired address found by listing its performer again, and a
// lost server waited for until it answers.
QueueSettings programQueueSettings();

}  // namespace zorvan
