#pragma once

namespace zorvan {

class FlashHost;

// The player subsystem's program-wide state: the media host and the file
// hooks it opens memory movies through.

// Start-up step 4.1: installs the file hooks (before any other thread of
// the program runs) and creates the program-wide host, and has the
// clean-up release both.
void startPlayer();
// The program-wide host; exists from startPlayer to the clean-up.
FlashHost& programFlashHost();
bool playerStarted();

}  // namespace zorvan
