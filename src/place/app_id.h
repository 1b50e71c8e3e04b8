#pragma once

namespace zorvan {

// The program's desktop id: its menu entry is appId + ".desktop" and its
// icon is named appId (data/ and cmake/Install.cmake install them so).
inline constexpr const char* appId = "app.zorvan.Zorvan";

}  // namespace zorvan
