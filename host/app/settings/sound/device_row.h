#pragma once

#include <QAbstractButton>
#include <optional>
#include <string>
#include <vector>

#include "app/look/symbols/symbol.h"
#include "audio/audio_output.h"

class QVBoxLayout;

namespace kovali {

/// What a source or output row shows.
struct DeviceRowModel {
  std::string id;  // what a click reports
  Symbol symbol = Symbol::waveform;
  std::string title;
  std::string subtitle;
  bool selected = false;

  bool operator==(const DeviceRowModel&) const = default;
};

/// The symbol of an input row for a device connected by `transport`.
Symbol inputSymbol(AudioOutput::Device::Transport transport);
/// The symbol of an output row for a device connected by `transport`.
Symbol outputSymbol(AudioOutput::Device::Transport transport);
/// The row's second line for a device connected by `transport`: "Built-in", "USB"…
std::string transportSubtitle(AudioOutput::Device::Transport transport);

/// A device as a full-width button: its symbol, its name over its connection, and a check mark
/// while it is the one in use.
class DeviceRow final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit DeviceRow(QWidget* parent = nullptr);

  void setModel(DeviceRowModel model);
  const DeviceRowModel& model() const { return model_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  DeviceRowModel model_;
};

/// Device rows one under the other with a hairline between each two; a click on one reports
/// its id through `chosen`.
class DeviceList final : public QWidget {
  Q_OBJECT

 public:
  explicit DeviceList(QWidget* parent = nullptr);

  /// Shows `rows`; the same rows again change nothing.
  void setRows(const std::vector<DeviceRowModel>& rows);
  const std::vector<DeviceRow*>& rows() const { return rows_; }

 signals:
  void chosen(const std::string& id);

 private:
  QVBoxLayout* layout_ = nullptr;
  std::optional<std::vector<DeviceRowModel>> shown_;
  std::vector<DeviceRow*> rows_;
};

}  // namespace kovali
