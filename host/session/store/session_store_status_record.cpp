#include <QString>
#include <QTextBoundaryFinder>
#include <array>
#include <charconv>

#include "protocol/bonjour.h"
#include "session/store/session_store.h"
#include "session/views/host_audio_snapshot.h"

namespace kovali {

namespace TXTKey = vinaro::Bonjour::TXTKey;

namespace {

constexpr int kMultiRoomFailureCharacters = 120;
constexpr int kPlayerErrorCharacters = 180;

/// The first `count` characters as people count them (a letter with its accents is one).
std::string firstCharacters(const std::string& text, int count) {
  const QString whole = QString::fromStdString(text);
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, whole);
  qsizetype end = 0;
  for (int n = 0; n < count; ++n) {
    const qsizetype next = characters.toNextBoundary();
    if (next == -1) return text;
    end = next;
  }
  return whole.left(end).toStdString();
}

/// One decimal, with a point whatever the user's locale.
std::string oneDecimal(double value) {
  std::array<char, 64> buffer{};
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 1).ptr;
  return std::string(buffer.data(), end);
}

std::string multiRoomEntry(const MultiRoomAudio::Status& status) {
  if (status.kind != MultiRoomAudio::Status::Kind::failed) return std::string(status.word());
  return "failed:" + firstCharacters(status.message, kMultiRoomFailureCharacters);
}

}  // namespace

void SessionStore::publishTXT() {
  const bool suggestion = state_->mode == vinaro::PartyMode::suggestion;
  const bool playing = state_->playback.status == vinaro::PlaybackStatus::playing;
  HostServer::TXTPairs record{
      {std::string(TXTKey::mode), suggestion ? "suggestion" : "collaboration"},
      {std::string(TXTKey::guests), std::to_string(participants_.size())},
      {std::string(TXTKey::playing), playing ? "1" : "0"},
      {std::string(TXTKey::multiroom), multiRoomEntry(multiRoom_->status())},
      {std::string(TXTKey::audio), multiRoom_->isReceivingAudio() ? "1" : "0"},
      {std::string(TXTKey::route), outputRoute()},
      {std::string(TXTKey::latency), oneDecimal(player_.outputLatency())},
      {std::string(TXTKey::heos), heosStatusWord(*heos_)},
      {std::string(TXTKey::playerError), firstCharacters(playbackError_.value_or(""), kPlayerErrorCharacters)},
  };
  server_.setExtraTXT(std::move(record));
}

}  // namespace kovali
