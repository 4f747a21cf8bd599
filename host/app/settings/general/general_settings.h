#pragma once

#include <QWidget>
#include <optional>
#include <string>

#include "app/settings/general/general_settings_model.h"

class QLabel;

namespace kovali {

class BoxedField;
class DJPIN;
class SymbolIcon;

/// The "General" section's content: the DJ PIN field. Each valid PIN typed or pasted is saved at
/// once through `djPIN`; a PIN the store refuses is shown as not saved, beside the field.
class GeneralSettings final : public QWidget {
  Q_OBJECT

 public:
  /// Opens with the PIN in force, without saving it; `djPIN` must outlive the view.
  explicit GeneralSettings(DJPIN& djPIN, QWidget* parent = nullptr);

  BoxedField& field() const { return *field_; }
  const GeneralSettingsModel& model() const { return model_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void pinEdited(const QString& pin);
  void refresh();

  DJPIN& djPIN_;
  std::optional<std::string> saveFailure_;
  GeneralSettingsModel model_;
  BoxedField* field_ = nullptr;
  QLabel* footer_ = nullptr;
  QLabel* failure_ = nullptr;
  SymbolIcon* warning_ = nullptr;
};

}  // namespace kovali
