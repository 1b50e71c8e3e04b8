#pragma once

namespace zorvan::pe {
class MemoryModule;
}

namespace zorvan {

// The skin subsystem's program-wide state: the skin library, mapped from
// the program's data, which styles the whole application when the skin is
// attached. Without it the program keeps the default look, silently.

// Start-up step 4.2: maps the skin library.
void loadSkinModule();
// The main window's "created" event: hands the skin to the library.
void attachSkin();
// The program-wide loader; the library stays mapped until the process ends.
pe::MemoryModule& programSkinModule();

}  // namespace zorvan
