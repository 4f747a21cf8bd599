#pragma once

#include <QScrollArea>
#include <vector>

#include "app/console/requests/requests_column_model.h"

class QVBoxLayout;

namespace kovali {

class ArtworkLoader;
class PlainLabel;
class RequestCard;
class ResolvedRow;
class SessionStore;

/// The console's right-hand column: the pending requests with their votes, each approved into
/// the queue or rejected as the host, and the latest resolved ones. It keeps no state; the owner
/// hands it the session state on every change.
class RequestsColumn final : public QScrollArea {
  Q_OBJECT

 public:
  RequestsColumn(SessionStore& store, ArtworkLoader& loader, QWidget* parent = nullptr);

  void setState(const vinaro::SessionState& state);
  const RequestsColumnModel& model() const { return model_; }
  const std::vector<RequestCard*>& cards() const { return cards_; }
  const std::vector<ResolvedRow*>& resolvedRows() const { return resolved_; }

 private:
  void approve(const std::string& id);
  void reject(const std::string& id);

  SessionStore& store_;
  ArtworkLoader& loader_;
  RequestsColumnModel model_;
  QVBoxLayout* column_ = nullptr;
  PlainLabel* title_ = nullptr;
  PlainLabel* hint_ = nullptr;
  PlainLabel* resolvedTitle_ = nullptr;
  std::vector<RequestCard*> cards_;
  std::vector<ResolvedRow*> resolved_;
};

}  // namespace kovali
