#pragma once

#include <QWidget>

#include "app/party/party_view_model.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

class PlainLabel;
class QRCodeView;
class Spinner;

/// The join code with "Scan to join" once the host is visible on the network; until then a
/// spinner and what the network is doing.
class JoinBlock final : public QWidget {
  Q_OBJECT

 public:
  explicit JoinBlock(Scheduler& scheduler, QWidget* parent = nullptr);

  void setModel(const PartyViewModel::Join& model);

 private:
  QWidget* code_;
  QRCodeView* qrCode_;
  PlainLabel* instruction_;
  QWidget* waiting_;
  PlainLabel* status_;
};

}  // namespace kovali
