#include "cli/address_list.h"

namespace zorvan::cli {

namespace {

const char* const blanks = " \t\r";

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// A file name, never a path: nothing that could climb out of the folder.
std::string nameFault(const std::string& name) {
    if (name.empty()) return "out= needs a file name";
    if (name.find('/') != std::string::npos || name == "." || name == "..")
        return "out= takes a file name, not a path (" + name + ")";
    return {};
}

}  // namespace

std::vector<ListedAddress> readAddressList(std::istream& in, std::vector<std::string>& notes) {
    std::vector<ListedAddress> list;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const bool indented = !line.empty() && (line[0] == ' ' || line[0] == '\t');
        const std::string text = trimmed(line);
        if (text.empty() || text[0] == '#') continue;
        const std::string where = "line " + std::to_string(number) + ": ";
        if (indented) {
            if (list.empty()) {
                notes.push_back(where + "an option line before any address is passed over");
                continue;
            }
            if (text.rfind("out=", 0) != 0) {
                notes.push_back(where + "only out=NAME is read under an address; \"" + text + "\" is passed over");
                continue;
            }
            ListedAddress& above = list.back();
            above.name = trimmed(text.substr(4));
            if (const std::string fault = nameFault(above.name); !fault.empty() && above.fault.empty())
                above.fault = where + fault;
            continue;
        }
        const std::string address = text.substr(0, text.find_first_of(blanks));
        if (address.size() < text.size()) notes.push_back(where + "only the first word, the address, is read");
        list.push_back({address, {}, number, {}});
    }
    return list;
}

}  // namespace zorvan::cli
