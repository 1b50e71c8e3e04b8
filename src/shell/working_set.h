#pragma once

namespace zorvan {

// Hands freed heap memory back to the system, keeping the program's
// resident size small while it idles.
void trimWorkingSet();

}  // namespace zorvan
