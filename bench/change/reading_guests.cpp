#include "reading_guests.h"

#include <string>

#include "protocol/uuid.h"
#include "support/bench_figures.h"

namespace kovali {
namespace {

constexpr int kGuestsGroup = 2;  // 127.0.2.x

}  // namespace

ReadingGuests::ReadingGuests(std::uint16_t port, int count) : home_(std::make_unique<QObject>()) {
  home_->moveToThread(&thread_);
  thread_.start();
  QMetaObject::invokeMethod(home_.get(), [this, port, count] {
    for (int i = 0; i < count; ++i) {
      const vinaro::Command hello{vinaro::Command::Hello{"Guest " + std::to_string(i), vinaro::makeUUIDString(),
                                                         vinaro::ProtocolVersion::current}};
      auto& phone = phones_.emplace_back(
          std::make_unique<LoopbackPhone>(LoopbackPhone::address(kGuestsGroup, i), [](const QByteArray&) {}));
      phone->open(port, commandText("hello-" + std::to_string(i), hello).toUtf8());
    }
  });
}

ReadingGuests::~ReadingGuests() {
  QMetaObject::invokeMethod(home_.get(), [this] { phones_.clear(); }, Qt::BlockingQueuedConnection);
  thread_.quit();
  thread_.wait();
}

}  // namespace kovali
