#include "web/service_address.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zorvan {
namespace {

TEST(ServiceAddress, CommandLineWinsOverEnvironmentWhichWinsOverDefault) {
    unsetenv("ZORVAN_SERVICE");
    EXPECT_EQ(serviceAddress({"zorvan"}), defaultServiceAddress());
    EXPECT_FALSE(defaultServiceAddress().empty());

    setenv("ZORVAN_SERVICE", "http://env.test:8080/", 1);
    EXPECT_EQ(serviceAddress({"zorvan"}), "http://env.test:8080");
    EXPECT_EQ(serviceAddress({"zorvan", "--service", "http://cli.test"}), "http://cli.test");
    EXPECT_EQ(serviceAddress({"zorvan", "--service=http://cli.test:1//"}), "http://cli.test:1");
    // A flag without a value does not count.
    EXPECT_EQ(serviceAddress({"zorvan", "--service"}), "http://env.test:8080");
    unsetenv("ZORVAN_SERVICE");
}

}  // namespace
}  // namespace zorvan
