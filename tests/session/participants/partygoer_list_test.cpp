#include "session/participants/partygoer_list.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kovali {
namespace {

using vinaro::Participant;
using vinaro::Role;

std::vector<std::string> names(const PartygoerList& list) {
  std::vector<std::string> shown;
  for (const auto& participant : list.list()) shown.push_back(participant.id + ":" + participant.name);
  return shown;
}

TEST(PartygoerListTest, KeepsThePartysOrderAsPhonesComeAndGo) {
  const auto guest = [](std::string id, std::string name) { return Participant{std::move(id), std::move(name), Role::guest}; };
  struct Case {
    const char* name;
    std::function<void(PartygoerList&)> steps;
    std::vector<std::string> expected;
  } cases[] = {
      {"by name, case ignored",
       [&](PartygoerList& list) {
         list.insert({1}, guest("b", "Bob"));
         list.insert({2}, guest("a", "anna"));
         list.insert({3}, guest("c", "Carl"));
       },
       {"a:anna", "b:Bob", "c:Carl"}},
      {"equal names in the order of their connections",
       [&](PartygoerList& list) {
         list.insert({7}, guest("x", "Sam"));
         list.insert({2}, guest("y", "sam"));
       },
       {"y:sam", "x:Sam"}},
      {"equal names in the order of their connections, not newest first",
       [&](PartygoerList& list) {
         list.insert({2}, guest("y", "sam"));
         list.insert({7}, guest("x", "Sam"));
       },
       {"y:sam", "x:Sam"}},
      {"a device connected twice once, at its first place",
       [&](PartygoerList& list) {
         list.insert({1}, guest("d", "Zoe"));
         list.insert({2}, guest("e", "Eve"));
         list.insert({3}, guest("d", "Ada"));
       },
       {"d:Ada", "e:Eve"}},
      {"its other connection shows once the first has gone",
       [&](PartygoerList& list) {
         list.insert({1}, guest("d", "Zoe"));
         list.insert({2}, guest("e", "Eve"));
         list.insert({3}, guest("d", "Ada"));
         list.erase({3});
       },
       {"e:Eve", "d:Zoe"}},
      {"a second hello on a connection replaces its entry",
       [&](PartygoerList& list) {
         list.insert({1}, guest("a", "Anna"));
         list.insert({2}, guest("b", "Bob"));
         list.insert({1}, guest("a", "Zed"));
       },
       {"b:Bob", "a:Zed"}},
      {"a connection that never said hello leaves nothing to take out",
       [&](PartygoerList& list) {
         list.insert({1}, guest("a", "Anna"));
         list.erase({9});
       },
       {"a:Anna"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PartygoerList list;
    c.steps(list);
    EXPECT_EQ(names(list), c.expected);
  }
}

}  // namespace
}  // namespace kovali
