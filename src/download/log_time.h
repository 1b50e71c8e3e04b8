#pragma once

#include <ctime>
#include <string>

namespace zorvan {

// The time text of a log line (code page 936): "2026年12月7日" then "8时5分3秒",
// with the seconds left out when 0, minutes and seconds when both are 0,
// and the whole time of day when it is midnight exactly.
std::string logTimeText(const std::tm& local);
std::string logTimeNow();

}  // namespace zorvan
