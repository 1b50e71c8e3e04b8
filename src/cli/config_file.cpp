#include "cli/config_file.h"

#include "cli/cli_options.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace zorvan::cli {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// "--config FILE", "--config=FILE" or "--no-config" among the arguments
// (before a "--"); empty optional: read the default file.
struct ConfigChoice {
    bool none = false;
    std::optional<std::string> file;
};

ConfigChoice configChoice(const std::vector<std::string>& args) {
    ConfigChoice choice;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--") break;
        if (args[i] == "--no-config") choice.none = true;
        else if (args[i] == "--config" && i + 1 < args.size()) choice.file = args[++i];
        else if (args[i].rfind("--config=", 0) == 0) choice.file = args[i].substr(9);
    }
    return choice;
}

bool knownToAnyCommand(const std::string& name) {
    const auto& commands = commandNames();
    return std::any_of(commands.begin(), commands.end(),
                       [&name](const std::string& command) { return optionTakesValue(command, name).has_value(); });
}

// A flag's value: true/yes/on/1 (or none) sets it, false/no/off/0 leaves it.
std::optional<bool> flagValue(const std::string& value) {
    for (const char* yes : {"", "true", "yes", "on", "1"})
        if (value == yes) return true;
    for (const char* no : {"false", "no", "off", "0"})
        if (value == no) return false;
    return std::nullopt;
}

}  // namespace

std::string defaultConfigPath() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config && *config == '/') return std::string(config) + "/zorvan/cli.conf";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config/zorvan/cli.conf";
}

std::optional<std::vector<std::string>> withConfigFile(const std::vector<std::string>& args, std::string& error) {
    if (args.empty()) return args;
    const ConfigChoice choice = configChoice(args);
    if (choice.none) return args;
    const std::string path = choice.file.value_or(defaultConfigPath());
    std::ifstream in(path);
    if (!in) {
        if (!choice.file) return args;  // no config file: nothing to read
        error = "cannot read the config file " + path;
        return std::nullopt;
    }
    const std::string& command = args[0];
    std::vector<std::string> options;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        const auto equals = line.find('=');
        std::string name = trimmed(line.substr(0, equals));
        std::string value = equals == std::string::npos ? std::string() : trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (name.rfind("--", 0) == 0) name = name.substr(2);
        const std::string where = path + ":" + std::to_string(number) + ": ";
        if (name == "config" || name == "no-config") {
            error = where + name + " cannot be set in a config file";
            return std::nullopt;
        }
        if (!knownToAnyCommand(name)) {
            error = where + "unknown option " + name;
            return std::nullopt;
        }
        const std::optional<bool> takesValue = optionTakesValue(command, name);
        if (!takesValue) continue;  // another command's option
        if (*takesValue) {
            options.push_back("--" + name + "=" + value);
            continue;
        }
        const std::optional<bool> on = flagValue(value);
        if (!on) {
            error = where + name + " takes true or false";
            return std::nullopt;
        }
        if (*on) options.push_back("--" + name);
    }
    std::vector<std::string> merged{args[0]};
    merged.insert(merged.end(), options.begin(), options.end());
    merged.insert(merged.end(), args.begin() + 1, args.end());
    return merged;
}

}  // namespace zorvan::cli
