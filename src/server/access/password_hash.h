#pragma once

#include <string>

namespace zorvan {

// The server password is kept only as an argon2id hash: slow and salted, so
// a copied settings file does not give the password away. The string holds
// the salt and the cost it was made with, so it verifies on its own.

// Empty when it could not be made (libsodium would not start, or no memory).
std::string hashPassword(const std::string& password);
// False for a wrong password and for an empty or malformed stored hash.
bool passwordMatches(const std::string& storedHash, const std::string& password);

}  // namespace zorvan
