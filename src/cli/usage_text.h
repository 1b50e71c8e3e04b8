#pragma once

#include <string>

namespace zorvan::cli {

// The usage of one command ("get", "works", "get-all"), or of all when the
// command is unknown: what `help` prints, and what zorvan-cli(1) names
// option for option.
std::string usageText(const std::string& command = {});

}  // namespace zorvan::cli
