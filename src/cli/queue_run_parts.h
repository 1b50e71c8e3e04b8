#pragma once

#include "queue/download_queue.h"
#include "queue/queue_item.h"

#include <chrono>
#include <string>
#include <vector>

namespace zorvan::cli {

// How long a download may go without progress on the command line: a script
// waiting for a dead server should hear of it soon, also when the server
// went away in the middle of a download.
inline constexpr GiveUpLimits cliLimits{std::chrono::seconds(8), std::chrono::seconds(60), std::chrono::seconds(8),
                                        std::chrono::seconds(3)};

// The exit code a settled download stands for (0 for done or skipped).
int itemExitCode(const QueueItem& item);

// One progress line per running download ("  12 MiB / 40 MiB ...  title"),
// and their speeds added up in `speed`.
std::vector<std::string> runningLines(const std::vector<QueueItem>& items, double& speed);

}  // namespace zorvan::cli
