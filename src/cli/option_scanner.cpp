#include "cli/option_scanner.h"

#include <algorithm>

namespace zorvan::cli {

const OptionRule* findLong(const std::vector<OptionRule>& rules, const std::string& name) {
    for (const OptionRule& rule : rules)
        if (std::find(rule.longNames.begin(), rule.longNames.end(), name) != rule.longNames.end()) return &rule;
    return nullptr;
}

namespace {

const OptionRule* findShort(const std::vector<OptionRule>& rules, char name) {
    for (const OptionRule& rule : rules)
        if (rule.shortName == name) return &rule;
    return nullptr;
}

class Scanner {
public:
    Scanner(const std::vector<std::string>& args, const std::vector<OptionRule>& rules, std::string& error)
        : args_(args), rules_(rules), error_(error) {}

    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    // "--name", "--name=value" or "--name value".
    bool readLong(std::size_t& at) {
        const std::string& arg = args_[at];
        const auto equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const OptionRule* rule = findLong(rules_, name);
        if (!rule) return fail("unknown option --" + name);
        const std::string written = "--" + name;
        if (!rule->takesValue) {
            if (equals != std::string::npos) return fail("option " + written + " takes no value");
            return rule->apply(written, {}, error_);
        }
        if (equals != std::string::npos) return rule->apply(written, arg.substr(equals + 1), error_);
        if (at + 1 >= args_.size()) return fail("option " + written + " needs a value");
        return rule->apply(written, args_[++at], error_);
    }

    // "-qv", "-n5", "-n 5", "-qn5".
    bool readShort(std::size_t& at) {
        const std::string& arg = args_[at];
        for (std::size_t i = 1; i < arg.size(); ++i) {
            const OptionRule* rule = findShort(rules_, arg[i]);
            const std::string written = std::string("-") + arg[i];
            if (!rule) return fail("unknown option " + written + (i > 1 ? " (in " + arg + ")" : std::string()));
            if (!rule->takesValue) {
                if (!rule->apply(written, {}, error_)) return false;
                continue;
            }
            if (i + 1 < arg.size()) return rule->apply(written, arg.substr(i + 1), error_);
            if (at + 1 >= args_.size()) return fail("option " + written + " needs a value");
            return rule->apply(written, args_[++at], error_);
        }
        return true;
    }

private:
    const std::vector<std::string>& args_;
    const std::vector<OptionRule>& rules_;
    std::string& error_;
};

}  // namespace

bool scanOptions(const std::vector<std::string>& args, const std::vector<OptionRule>& rules,
                 const std::function<bool(const std::string&, std::string&)>& operand, std::string& error) {
    Scanner scanner(args, rules, error);
    bool optionsEnded = false;
    for (std::size_t at = 1; at < args.size(); ++at) {
        const std::string& arg = args[at];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            // "-" alone is an operand (standard input or output).
            if (!operand(arg, error)) return false;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!(arg[1] == '-' ? scanner.readLong(at) : scanner.readShort(at))) return false;
    }
    return true;
}

}  // namespace zorvan::cli
