#pragma once

#include <functional>
#include <string>
#include <vector>

namespace zorvan::cli {

// One option as users of getopt_long tools expect it: "--name VALUE",
// "--name=VALUE", "-x VALUE", "-xVALUE", and flags bundled ("-qv").
struct OptionRule {
    std::vector<std::string> longNames;  // the first is the name help and config files use
    char shortName = 0;                  // 0: none
    bool takesValue = false;
    // Takes the value (empty for a flag); false with `error` when it
    // cannot be used. `name` is the option as it was written ("-n",
    // "--connections"), for the message.
    std::function<bool(const std::string& name, const std::string& value, std::string& error)> apply;
};

// Reads the arguments after the command (args[0]): options anywhere,
// everything after "--" an operand; operands go to `operand` in order.
// False with `error` naming the option on the first mistake.
bool scanOptions(const std::vector<std::string>& args, const std::vector<OptionRule>& rules,
                 const std::function<bool(const std::string&, std::string&)>& operand, std::string& error);

// The rule with this long name, or null.
const OptionRule* findLong(const std::vector<OptionRule>& rules, const std::string& name);

}  // namespace zorvan::cli
