#pragma once

#include <istream>
#include <string>
#include <vector>

namespace zorvan::cli {

// One address of a list given with -i, as wget and aria2c read them.
struct ListedAddress {
    std::string address;
    std::string name;   // from an "out=NAME" line under it; empty: the address's own
    int line = 0;       // where it stands in the list (0: the command line)
    std::string fault;  // why this entry cannot be fetched; empty: it can
};

// One address a line (the first word; what follows is passed over), "#"
// comments and blank lines skipped; an indented "out=NAME" line names the
// file of the address above it. A bad line is an entry with its fault,
// never the end of the list. `notes` gets what was passed over.
std::vector<ListedAddress> readAddressList(std::istream& in, std::vector<std::string>& notes);

}  // namespace zorvan::cli
