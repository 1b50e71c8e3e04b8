#pragma once

#include <string>
#include <vector>

namespace zorvan {

// The web host of the video service, e.g. "http://127.0.0.1:18089". It is
// deployment data: "--service URL" (or "--service=URL") on the command line
// wins, then the environment variable ZORVAN_SERVICE, then the address the
// user chose in the window (`remembered`, when not empty), then the build
// default. A trailing "/" is dropped so callers can append paths.
std::string serviceAddress(const std::vector<std::string>& args, const std::string& remembered = {});

// The address --service or ZORVAN_SERVICE gives; empty when neither does.
std::string givenServiceAddress(const std::vector<std::string>& args);

// The build-time default alone.
std::string defaultServiceAddress();

}  // namespace zorvan
