#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zorvan::cli {

// Where the config file is looked for: $XDG_CONFIG_HOME/zorvan/cli.conf,
// else ~/.config/zorvan/cli.conf.
std::string defaultConfigPath();

// The command line (args[0] the command) with the config file's options
// put before its own, so the command line wins; the file's options win
// over the environment's defaults because they are read after them.
// "--config FILE" reads FILE (which must exist) instead of the default
// file, "--no-config" reads none. The file holds "option = value" lines
// named as the long options ("limit = 1M", "quiet = true"), "#" comments
// and blank lines; an option the command does not take is passed over, one
// no command takes is a mistake. Nothing, with `error`, on a mistake.
std::optional<std::vector<std::string>> withConfigFile(const std::vector<std::string>& args, std::string& error);

}  // namespace zorvan::cli
