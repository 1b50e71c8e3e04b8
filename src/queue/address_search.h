#pragma once

#include "queue/background_query.h"

#include <string>

namespace zorvan {

// Finding a work again whose address expired: its performer is listed
// again; the answer is the address found (empty: none).
using AddressSearch = BackgroundQuery<std::string>;

// A part file left by the download of `oldAddress` is taken up by the same
// work at `newAddress`: its record names the new one (the engine still
// checks size and version with the server). False when there is no such
// record.
bool moveRecordAddress(const std::string& path, const std::string& oldAddress, const std::string& newAddress);

}  // namespace zorvan
