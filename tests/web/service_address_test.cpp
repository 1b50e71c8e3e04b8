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
    // The address chosen in the window comes after both, before the default.
    EXPECT_EQ(serviceAddress({"zorvan"}, "http://chosen.test/"), "http://env.test:8080");
    EXPECT_EQ(givenServiceAddress({"zorvan"}), "http://env.test:8080");
    unsetenv("ZORVAN_SERVICE");
    EXPECT_EQ(serviceAddress({"zorvan"}, "http://chosen.test/"), "http://chosen.test");
    EXPECT_EQ(serviceAddress({"zorvan", "--service", "http://cli.test"}, "http://chosen.test"), "http://cli.test");
    EXPECT_EQ(givenServiceAddress({"zorvan"}), "");
}

}  // namespace
}  // namespace zorvan
