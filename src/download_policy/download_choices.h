#pragma once

namespace zorvan::downloadChoices {

// What a user may choose for downloads, in the window's settings and on the
// home server alike.
inline constexpr int mostParallel = 8;                 // works fetched at once, from 1
inline constexpr int mostConnections = 16;             // per work, from 1
inline constexpr int mostSpeedLimitKiB = 1024 * 1024;  // all works together (1 GiB/s); 0: none

}  // namespace zorvan::downloadChoices
