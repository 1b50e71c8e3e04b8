#pragma once

#include "download/failure_cause.h"
#include "download/task_param.h"
#include "words/item_words.h"
#include "queue/queue_item.h"

#include <cstdint>
#include <string>

namespace zorvan {

// A byte count in MiB as the download window shows it: two decimals, halves
// rounded away from zero, written with "%.13g" (3.5 MiB -> "3.5", 12 -> "12").
std::string sizeText(std::int64_t bytes);

// What event 4 tells the user (UTF-8): "完毕" when the file is complete or
// the user chose not to download it again, else what failed, and whether
// its part file was kept to be continued.
std::string endMessage(TaskOutcome outcome, bool partKept = false);

}  // namespace zorvan
