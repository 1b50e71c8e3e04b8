#include "server/access/password_hash.h"

#include <sodium.h>

namespace zorvan {
namespace {

bool sodiumStarted() {
    static const bool started = sodium_init() >= 0;
    return started;
}

}  // namespace

std::string hashPassword(const std::string& password) {
    if (!sodiumStarted()) return {};
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0) {
        return {};
    }
    return hash;
}

bool passwordMatches(const std::string& storedHash, const std::string& password) {
    // libsodium reads the stored hash as a C string of at most STRBYTES: one
    // longer or with a NUL inside is not one we wrote.
    if (storedHash.empty() || storedHash.size() >= crypto_pwhash_STRBYTES) return false;
    if (storedHash.find('\0') != std::string::npos || !sodiumStarted()) return false;
    return crypto_pwhash_str_verify(storedHash.c_str(), password.data(), password.size()) == 0;
}

}  // namespace zorvan
