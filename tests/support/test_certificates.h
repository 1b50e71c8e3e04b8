#pragma once

#include <string>

namespace zorvan::test {

// A test CA and server certificates made with the openssl command when the
// test runs, in a folder of their own that goes with the object. Every key
// is P-256, so making them all takes well under a second.
class TestCertificates {
public:
    TestCertificates();
    ~TestCertificates();
    TestCertificates(const TestCertificates&) = delete;
    TestCertificates& operator=(const TestCertificates&) = delete;

    bool made() const { return error_.empty(); }
    const std::string& error() const { return error_; }

    std::string caFile() const { return dir_ + "/ca.pem"; }
    std::string key() const { return dir_ + "/server.key"; }  // the key of every certificate below
    // Signed by the CA for "localhost" and 127.0.0.1.
    std::string valid() const { return dir_ + "/valid.pem"; }
    // Signed by the CA for "other.example" only.
    std::string otherName() const { return dir_ + "/other.pem"; }
    // Signed by the CA for "localhost", but its validity ended yesterday.
    std::string expired() const { return dir_ + "/expired.pem"; }
    // For "localhost", signed by itself: no CA vouches for it.
    std::string selfSigned() const { return dir_ + "/self.pem"; }

private:
    bool run(const std::string& arguments);

    std::string dir_;
    std::string error_;
};

}  // namespace zorvan::test
