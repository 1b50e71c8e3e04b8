#include "support/link_proxy.h"

#include "support/child_process.h"

#include <cstdlib>

namespace zorvan::test {

LinkProxy::LinkProxy(int targetPort, const std::vector<std::string>& faults) {
    std::vector<std::string> command = {LINK_PROXY_PATH, "--to", std::to_string(targetPort)};
    command.insert(command.end(), faults.begin(), faults.end());
    std::string line;
    pid_ = spawnListening(command, line);
    const auto colon = line.rfind(':');
    if (colon != std::string::npos) port_ = std::atoi(line.c_str() + colon + 1);
}

LinkProxy::~LinkProxy() { stopChild(pid_); }

}  // namespace zorvan::test
