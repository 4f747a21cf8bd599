#include "session/participants/participant_ids.h"

#include <QCryptographicHash>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <array>
#include <cstdint>

#include "platform/runtime/logging.h"
#include "protocol/uuid.h"

namespace kovali {

namespace {

constexpr qsizetype kKeyBytes = 32;

QByteArray randomKey() {
  QByteArray key(kKeyBytes, Qt::Uninitialized);
  // The system generator reads the operating system's entropy.
  QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(key.data()), kKeyBytes / 4);
  return key;
}

std::optional<QByteArray> decodeKey(const std::string& text) {
  const QByteArray hex = QByteArray::fromStdString(text);
  const QByteArray key = QByteArray::fromHex(hex);
  if (key.size() != kKeyBytes || key.toHex() != hex.toLower()) return std::nullopt;
  return key;
}

}  // namespace

ParticipantIDs ParticipantIDs::load(SecretStore& secrets) {
  const auto stored = secrets.read(service, account);
  if (!stored) {
    // Not written over: the stored key may come back readable at the next launch.
    qCWarning(lcSecrets, "Could not read the key of the participant ids, so they hold for this run only: %s",
              stored.error().description.c_str());
    return ParticipantIDs(randomKey(), true);
  }
  if (stored.value()) {
    if (auto key = decodeKey(*stored.value())) return ParticipantIDs(std::move(*key), false);
    qCWarning(lcSecrets, "The stored key of the participant ids is damaged; a new one replaces it.");
  }
  QByteArray key = randomKey();
  if (auto error = secrets.write(service, account, key.toHex().toStdString())) {
    qCWarning(lcSecrets, "Could not save the key of the participant ids, so they hold for this run only: %s",
              error->description.c_str());
  }
  return ParticipantIDs(std::move(key), true);
}

std::string ParticipantIDs::of(std::string_view deviceID) const {
  const QByteArray digest = QMessageAuthenticationCode::hash(
      QByteArray(deviceID.data(), static_cast<qsizetype>(deviceID.size())), key_, QCryptographicHash::Sha256);
  std::array<std::uint8_t, 16> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(digest[static_cast<qsizetype>(i)]);
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x80);  // version 8: made by the host's own rule
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  return vinaro::uuidText(bytes);
}

}  // namespace kovali
