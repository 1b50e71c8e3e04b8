#pragma once

#include "shell/startup.h"

#include <string>

namespace zorvan {

// The program assembled from its subsystems.

// Fills the routing table with the routines of the subsystems, for a
// service at the given web host.
void installProgramRoutines(const std::string& serviceAddress);

// The start-up steps of the program: its routines, the subsystems'
// start-up routines, the main window and the message loop.
StartupSteps programStartupSteps();

}  // namespace zorvan
