// The name phones see for the host.

#include "app/shell/services/host_display_name.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

TEST(HostDisplayName, PrefersThePrettyNameThenTheHostNameThenKovali) {
  struct Case {
    const char* name;
    QString machineInfo;
    QString hostName;
    std::string expected;
  };
  const Case cases[] = {
      {"pretty name in double quotes", "CHASSIS=laptop\nPRETTY_HOSTNAME=\"Zoé's Laptop\"\n", "zoe-laptop",
       "Zoé's Laptop"},
      {"pretty name in single quotes", "PRETTY_HOSTNAME='Living Room'\n", "lr", "Living Room"},
      {"bare pretty name", "PRETTY_HOSTNAME=Attic\n", "attic-pc", "Attic"},
      {"escaped quote inside", "PRETTY_HOSTNAME=\"The \\\"Big\\\" One\"", "big", "The \"Big\" One"},
      {"empty pretty name", "PRETTY_HOSTNAME=\"\"\n", "attic-pc", "attic-pc"},
      {"no pretty name", "CHASSIS=desktop\n", "attic-pc", "attic-pc"},
      {"nothing at all", "", "", "Kovali"},
      {"blank host name", "", "  ", "Kovali"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hostDisplayName(prettyHostName(c.machineInfo), c.hostName), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace kovali
