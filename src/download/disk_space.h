#pragma once

#include "download/failure_cause.h"

#include <cstdint>
#include <string>

namespace zorvan {

// The bytes a new file at `finalPath` may take: what the file system
// gives an unprivileged writer in its folder, plus what the part file of
// an earlier download there holds (a new download reuses its name). -1
// when the system cannot say.
std::int64_t spaceForFile(const std::string& finalPath);

// "磁盘空间不足：需要 3.00 MiB，可用 1.95 MiB" (UTF-8).
std::string diskSpaceText(std::int64_t needed, std::int64_t available);

// What a disk cause means for the user, in a few words ("文件夹是只读的",
// ...; the sizes when it did not fit); empty when the system's answer is
// not one a user can act on by name.
std::string diskTroubleText(const FailureCause& cause);

}  // namespace zorvan
