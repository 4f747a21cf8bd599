#pragma once

#include <QWidget>

#include "app/console/requests/requests_column_model.h"
#include "app/look/hairline.h"

class QAbstractButton;

namespace kovali {

class ArtworkLoader;
class ArtworkTile;
class BylineText;
class FittedLabel;
class PlainLabel;
class SymbolLabel;
class SymbolIcon;

/// A pending request in the requests column: artwork, title, requester and votes, with "Add to
/// queue" and "Reject". It reports the presses with the request's id.
class RequestCard final : public RoundedSurface {
  Q_OBJECT

 public:
  explicit RequestCard(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const RequestCardModel& model);
  const RequestCardModel& model() const { return model_; }

  QAbstractButton& approveButton() const { return *approve_; }
  QAbstractButton& rejectButton() const { return *reject_; }

 signals:
  void approveClicked(const std::string& requestID);
  void rejectClicked(const std::string& requestID);

 private:
  RequestCardModel model_;
  ArtworkTile* artwork_;
  SymbolIcon* kind_;
  FittedLabel* title_;
  BylineText* byline_;
  SymbolLabel* votes_;
  QAbstractButton* approve_;
  QAbstractButton* reject_;
};

/// A resolved request: small artwork, title and "Added" or "Rejected".
class ResolvedRow final : public QWidget {
  Q_OBJECT

 public:
  explicit ResolvedRow(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const ResolvedRowModel& model);
  const ResolvedRowModel& model() const { return model_; }

 private:
  ResolvedRowModel model_;
  ArtworkTile* artwork_;
  FittedLabel* title_;
  PlainLabel* mark_;
};

}  // namespace kovali
