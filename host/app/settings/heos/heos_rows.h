#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QWidget>

#include "app/settings/heos/heos_section_model.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kovali {

class VolumeControl;

/// A zone: a check box with its name that says whether the party plays there and, when its
/// level is known, its volume.
class ZoneRow final : public QWidget {
  Q_OBJECT

 public:
  explicit ZoneRow(QWidget* parent = nullptr);

  void setModel(HEOSSectionModel::Zone zone);
  const HEOSSectionModel::Zone& model() const { return zone_; }
  QCheckBox& included() const { return *included_; }
  VolumeControl& volume() const { return *volume_; }

 signals:
  void includedChosen(std::int64_t id, bool included);
  void levelChosen(std::int64_t id, int level);

 private:
  HEOSSectionModel::Zone zone_;
  QCheckBox* included_ = nullptr;
  VolumeControl* volume_ = nullptr;
};

/// A preset as a full-width button, its name in orange; its context menu deletes it.
class PresetRow final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit PresetRow(QWidget* parent = nullptr);

  void setModel(HEOSSectionModel::PresetRow preset);
  const HEOSSectionModel::PresetRow& model() const { return preset_; }
  /// The context menu's "Delete “…”".
  QAction& deleteAction() const { return *delete_; }

  QSize sizeHint() const override;

 signals:
  void deleteChosen(const QUuid& id);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  HEOSSectionModel::PresetRow preset_;
  QAction* delete_ = nullptr;
};

/// Asks for the name of a new preset; "Save" only while the name is not blank.
class SavePresetDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit SavePresetDialog(QWidget* parent = nullptr);

  QLineEdit& name() const { return *name_; }
  QPushButton& save() const { return *save_; }

 signals:
  /// "Save" with the name as typed.
  void saved(const std::string& name);

 private:
  QLineEdit* name_ = nullptr;
  QPushButton* save_ = nullptr;
};

}  // namespace kovali
