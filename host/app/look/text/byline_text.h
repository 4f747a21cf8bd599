#pragma once

#include <QWidget>
#include <optional>

#include "model/participant.h"

namespace kovali {

class FittedLabel;

/// A one-line text followed, when there is a badge, by that badge and optionally its title.
/// It takes its font and text colour from where it is placed; the badge keeps its own colour.
class BylineText final : public QWidget {
  Q_OBJECT

 public:
  BylineText(const QString& text, std::optional<vinaro::SupporterTier> badge, double badgeSize, bool showsTitle,
             QWidget* parent = nullptr);

  void setContent(const QString& text, std::optional<vinaro::SupporterTier> badge);

 private:
  double badgeSize_;
  bool showsTitle_;
  FittedLabel* text_;
  QWidget* badge_ = nullptr;
  FittedLabel* title_ = nullptr;
  std::optional<vinaro::SupporterTier> tier_;
};

}  // namespace kovali
