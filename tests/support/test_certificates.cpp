#include "support/test_certificates.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

namespace zorvan::test {

bool TestCertificates::run(const std::string& arguments) {
    const std::string command = "cd '" + dir_ + "' && openssl " + arguments + " >>openssl.log 2>&1";
    if (std::system(command.c_str()) == 0) return true;
    error_ = "openssl " + arguments + " failed; see " + dir_ + "/openssl.log";
    return false;
}

TestCertificates::TestCertificates() {
    char pattern[] = "/tmp/zorvan-certs-XXXXXX";
    if (!::mkdtemp(pattern)) {
        error_ = "cannot make a folder";
        return;
    }
    dir_ = pattern;
    ::chmod(dir_.c_str(), 0755);  // nginx workers read the files as another user
    std::ofstream(dir_ + "/localhost.ext") << "subjectAltName=DNS:localhost,IP:127.0.0.1\n";
    std::ofstream(dir_ + "/other.ext") << "subjectAltName=DNS:other.example\n";
    const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes";
    const std::string signedByCa = "x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial ";
    run("req -x509 " + ec + " -keyout ca.key -out ca.pem -days 2 -subj /CN=Zorvan-Test-CA") &&
        run("req " + ec + " -keyout server.key -out server.csr -subj /CN=localhost") &&
        run(signedByCa + "-days 2 -extfile localhost.ext -out valid.pem") &&
        run(signedByCa + "-days 2 -extfile other.ext -out other.pem") &&
        run(signedByCa + "-days -1 -extfile localhost.ext -out expired.pem") &&
        run("x509 -req -in server.csr -key server.key -days 2 -extfile localhost.ext -out self.pem");
    ::chmod((dir_ + "/server.key").c_str(), 0644);
}

TestCertificates::~TestCertificates() {
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
}

}  // namespace zorvan::test
