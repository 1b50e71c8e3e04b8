#pragma once

#include <string>

namespace zorvan {

// Fills the routing table with the routines of the subsystems built so
// far, for a service at the given web host.
void installProgramRoutines(const std::string& serviceAddress);

}  // namespace zorvan
