// The inputs the party can play through: listed per device, labelled by the device's own prefix
// or by the zone's name.

#include <algorithm>
#include <set>

#include <QPointer>

#include "heos/heos_controller.h"
#include "heos/player_ids.h"

namespace kovali {
namespace {

// The source of auxiliary inputs in the HEOS protocol; browsing it lists one source per device.
constexpr std::int64_t kAuxInputsSource = 1027;

struct InputItem {
  std::string mid;
  std::optional<std::string> prefix;  // the text before " - ", when there is one
  std::string rest;
};

std::vector<InputItem> inputItems(const std::optional<JSONValue>& payload) {
  std::vector<InputItem> items;
  const auto* list = payload ? std::get_if<JSONValue::Array>(&payload->value) : nullptr;
  if (!list) return items;
  for (const auto& element : *list) {
    if (!std::holds_alternative<JSONValue::Object>(element.value)) continue;
    const JSONValue* midValue = element.member("mid");
    const auto* mid = midValue ? std::get_if<std::string>(&midValue->value) : nullptr;
    if (!mid || !mid->starts_with("inputs/")) continue;
    const JSONValue* nameValue = element.member("name");
    const std::string raw = (nameValue ? nameValue->stringValue() : std::nullopt).value_or(*mid);
    const auto split = raw.find(" - ");
    if (split == std::string::npos) {
      items.push_back({*mid, std::nullopt, raw});
    } else {
      items.push_back({*mid, raw.substr(0, split), raw.substr(split + 3)});
    }
  }
  return items;
}

/// The source ids of the devices that list inputs, from the browse of the aux-inputs source.
std::vector<std::int64_t> auxSources(const std::optional<JSONValue>& payload) {
  std::vector<std::int64_t> sources;
  const auto* list = payload ? std::get_if<JSONValue::Array>(&payload->value) : nullptr;
  if (!list) return sources;
  for (const auto& element : *list) {
    const JSONValue* sid = element.member("sid");
    if (const auto id = sid ? sid->intValue() : std::nullopt) sources.push_back(*id);
  }
  return sources;
}

}  // namespace

QCoro::Task<> HEOSController::loadInputs(CancellationToken token) {
  QPointer<HEOSController> self(this);
  std::vector<std::int64_t> sources;
  if (commands_) {
    try {
      const auto reply = co_await command("browse/browse", idParameter("sid", kAuxInputsSource));
      sources = auxSources(reply.payload);
    } catch (const HEOSError&) {
      // The main players are browsed instead.
    }
    if (!self || token.isCancelled()) co_return;
  }
  for (const auto& player : players_) {
    if (player.isMain && !containsID(sources, player.id)) sources.push_back(player.id);
  }
  Inputs inputs = co_await listInputs(sources, token);
  if (!self || token.isCancelled()) co_return;
  if (inputs.empty()) {
    std::vector<std::int64_t> everyZone;
    for (const auto& player : players_) everyZone.push_back(player.id);
    const Inputs listed = co_await listInputs(everyZone, token);
    if (!self || token.isCancelled()) co_return;
    std::set<std::string> kinds;
    for (const auto& input : listed) {
      if (kinds.insert(inputKey(input)).second) inputs.push_back(input);  // one per kind across zones
    }
  }
  setInputs(std::move(inputs));
}

QCoro::Task<HEOSController::Inputs> HEOSController::listInputs(std::vector<std::int64_t> sourceIDs,
                                                              CancellationToken token) {
  QPointer<HEOSController> self(this);
  std::set<std::string> playerNames;
  for (const auto& player : players_) playerNames.insert(player.name);
  Inputs inputs;
  for (const auto source : sourceIDs) {
    std::optional<HEOSResponse> reply;
    if (commands_) {
      try {
        reply = co_await command("browse/browse", idParameter("sid", source));
      } catch (const HEOSError&) {
        // Logged below like a missing connection.
      }
      if (!self || token.isCancelled()) co_return Inputs{};
    }
    if (!reply) {
      log("could not list the inputs of " + zoneName(source));
      continue;
    }
    const auto items = inputItems(reply->payload);
    // A device's own prefix labels its inputs; a prefix that is a zone's name gives way to the
    // browsed zone's current name.
    const auto own = std::find_if(items.begin(), items.end(),
                                  [&](const InputItem& item) { return item.prefix && !playerNames.count(*item.prefix); });
    const std::string label = own != items.end() ? *own->prefix : zoneName(source);
    for (const auto& item : items) inputs.push_back({source, item.mid, label + " - " + item.rest});
  }
  co_return inputs;
}

std::string HEOSController::inputKey(const Input& input) const {
  const auto player = std::find_if(players_.begin(), players_.end(), [&](const Player& p) { return p.id == input.sourceID; });
  return (player != players_.end() ? player->model : std::string()) + "|" + input.mid;
}

}  // namespace kovali
