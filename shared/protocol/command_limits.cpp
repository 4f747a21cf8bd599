#include "protocol/command_limits.h"

#include <string>
#include <string_view>

#include "model/overloaded.h"

namespace vinaro::CommandLimits {

namespace {

/// One text and its limit; `what` names it in the refusal.
struct Checked {
  std::string_view what;
  std::string_view text;
  std::size_t limit;
};

std::optional<ProtocolError> firstOver(std::initializer_list<Checked> texts) {
  for (const auto& [what, text, limit] : texts) {
    if (text.size() <= limit) continue;
    // Wire text:
    return ProtocolError::badRequest("The " + std::string(what) + " is too long; it may have at most " +
                                     std::to_string(limit) + " bytes.");
  }
  return std::nullopt;
}

std::string_view orEmpty(const std::optional<std::string>& text) { return text ? std::string_view(*text) : ""; }

std::optional<ProtocolError> refRefusal(const PlaylistRef& ref) {
  return firstOver({{"collection ID", ref.id, maxIDBytes},
                    {"collection name", ref.name, maxTextBytes},
                    {"collection subtitle", orEmpty(ref.subtitle), maxTextBytes},
                    {"artwork address", orEmpty(ref.artworkURLTemplate), maxTextBytes}});
}

std::optional<ProtocolError> audioRefusal(const AudioCommand& audio) {
  return std::visit(
      Overloaded{
          [](const AudioCommand::SetOutput& c) { return firstOver({{"output ID", c.id, maxIDBytes}}); },
          [](const AudioCommand::SetSpeakerVolume& c) { return firstOver({{"speaker ID", c.id, maxIDBytes}}); },
          [](const AudioCommand::HEOSSelectInput& c) { return firstOver({{"input ID", c.id, maxIDBytes}}); },
          [](const AudioCommand::HEOSSavePreset& c) { return firstOver({{"preset name", c.name, maxTextBytes}}); },
          [](const AudioCommand::HEOSApplyPreset& c) { return firstOver({{"preset ID", c.id, maxIDBytes}}); },
          [](const AudioCommand::HEOSDeletePreset& c) { return firstOver({{"preset ID", c.id, maxIDBytes}}); },
          [](const AudioCommand::SetSource& c) { return firstOver({{"source ID", orEmpty(c.id), maxIDBytes}}); },
          [](const auto&) -> std::optional<ProtocolError> { return std::nullopt; },
      },
      audio.value);
}

}  // namespace

std::optional<ProtocolError> refusal(const Command& command) {
  using C = Command;
  return std::visit(
      Overloaded{
          // The name is cut where it is taken in; an oversized device id has its own refusal there.
          [](const C::Hello&) -> std::optional<ProtocolError> { return std::nullopt; },
          [](const C::AuthenticateDJ& c) { return firstOver({{"PIN", c.pin, maxPINBytes}}); },
          [](const C::Search& c) { return firstOver({{"search", c.query, maxTextBytes}}); },
          [](const C::ListTracks& c) { return refRefusal(c.ref); },
          [](const C::Add& c) { return firstOver({{"song ID", c.trackID, maxIDBytes}}); },
          [](const C::SuggestCollection& c) { return refRefusal(c.ref); },
          [](const C::Remove& c) { return firstOver({{"item ID", c.itemID, maxIDBytes}}); },
          [](const C::Move& c) { return firstOver({{"item ID", c.itemID, maxIDBytes}}); },
          [](const C::ApproveRequest& c) { return firstOver({{"request ID", c.requestID, maxIDBytes}}); },
          [](const C::RejectRequest& c) { return firstOver({{"request ID", c.requestID, maxIDBytes}}); },
          [](const C::VoteRequest& c) { return firstOver({{"request ID", c.requestID, maxIDBytes}}); },
          [](const C::LoadPlaylist& c) { return refRefusal(c.ref); },
          [](const AudioCommand& c) { return audioRefusal(c); },
          [](const C::SetBadge& c) { return firstOver({{"badge", orEmpty(c.tier), maxBadgeBytes}}); },
          [](const auto&) -> std::optional<ProtocolError> { return std::nullopt; },
      },
      command.payload);
}

}  // namespace vinaro::CommandLimits
