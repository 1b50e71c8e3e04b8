#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace zorvan {

// Secrets the server keeps in files of its own (the loopback token, the
// password's hash): only the user who runs it may read them, and a file
// others can read is refused, as ssh refuses a key others can read.

// `bytes` random bytes as base64url without padding (43 characters for 32),
// safe in a URL, a cookie or a header. Empty when libsodium would not start.
std::string randomToken(std::size_t bytes = 32);
// Compares two secrets in a time that does not depend on where they differ,
// so an answer's timing does not tell how much of a guess was right.
bool sameSecret(const std::string& a, const std::string& b);

// Writes the file whole or not at all (a temporary beside it, renamed over
// it), mode 0600 whatever the umask; its folder is made, mode 0700, when
// missing.
bool writeSecretFile(const std::string& path, const std::string& content, std::string& error);
// The file's content without its trailing newline. Nothing, with an empty
// error, when there is no file; nothing, with the reason, when it cannot be
// read or others may read or change it.
std::optional<std::string> readSecretFile(const std::string& path, std::string& error);

// The token a local client reads to be let in: the one in the file at
// `path`, else a new one written there (`made` is then true). Empty, with
// the reason, when neither works; a file refused is left for the user to fix
// rather than replaced.
std::string loopbackToken(const std::string& path, bool& made, std::string& error);

}  // namespace zorvan
