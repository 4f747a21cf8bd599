#include "app/settings/sound/device_settings.h"

#include <QVBoxLayout>
#include <algorithm>

#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

/// The orange line under a section's rows with the service's last failure.
PlainLabel* errorLine() {
  auto* label = new PlainLabel(QString(), systemFont(12), Palette::orange());
  label->setWordWrap(true);
  label->hide();
  return label;
}

void showError(QLabel& label, const std::optional<std::string>& error) {
  label.setText(QString::fromStdString(error.value_or(std::string())));
  label.setVisible(error.has_value());
}

QVBoxLayout* stack(QWidget* holder) {
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  return layout;
}

}  // namespace

std::vector<DeviceRowModel> sourceRows(const std::optional<vinaro::LiveInput>& input,
                                       const AudioInputs::Devices& devices) {
  // The party plays the host's own music library, so the row names it.
  std::vector<DeviceRowModel> rows{{"", Symbol::musicNote, "Music library", "Default", !input}};
  for (const auto& device : devices) {
    rows.push_back({device.id, inputSymbol(device.transport), device.name, transportSubtitle(device.transport),
                    input && input->id == device.id});
  }
  return rows;
}

std::vector<DeviceRowModel> outputRows(const AudioOutput::Devices& devices, std::uint32_t defaultID) {
  std::vector<DeviceRowModel> rows;
  for (const auto& device : devices) {
    rows.push_back({std::to_string(device.id), outputSymbol(device.transport), device.name,
                    transportSubtitle(device.transport), device.id == defaultID});
  }
  return rows;
}

SourceSettings::SourceSettings(SessionStore& store, QWidget* parent) : QWidget(parent), store_(store) {
  list_ = new DeviceList;
  list_->setObjectName(QStringLiteral("sources"));
  connect(list_, &DeviceList::chosen, this, &SourceSettings::choose);
  error_ = errorLine();
  QVBoxLayout* layout = stack(this);
  layout->addWidget(list_);
  layout->addWidget(error_);

  connect(&store_, &SessionStore::stateChanged, this, &SourceSettings::refresh);
  connect(&store_.inputs(), &AudioInputs::changed, this, &SourceSettings::refresh);
  connect(&store_.inputs(), &AudioInputs::devicesChanged, this, &SourceSettings::refresh);
  connect(&store_.inputs(), &AudioInputs::lastErrorChanged, this, &SourceSettings::refresh);
  refresh();
}

void SourceSettings::refresh() {
  list_->setRows(sourceRows(store_.state().input, store_.inputs().devices()));
  showError(*error_, store_.inputs().lastError());
}

void SourceSettings::choose(const std::string& id) {
  // Not awaited: the switch shows through the party's state or the inputs' error when it ends.
  (void)store_.selectSource(id.empty() ? std::nullopt : std::optional(id));
}

OutputSettings::OutputSettings(AudioOutput& output, QWidget* parent) : QWidget(parent), output_(output) {
  empty_ = new PlainLabel(QStringLiteral("No output devices found."), systemFont(12),
                          Palette::inkSecondary(appearanceOf(*this)));
  list_ = new DeviceList;
  list_->setObjectName(QStringLiteral("outputs"));
  connect(list_, &DeviceList::chosen, this, &OutputSettings::choose);
  error_ = errorLine();
  QVBoxLayout* layout = stack(this);
  layout->addWidget(empty_);
  layout->addWidget(list_);
  layout->addWidget(error_);

  connect(&output_, &AudioOutput::changed, this, &OutputSettings::refresh);
  connect(&output_, &AudioOutput::lastErrorChanged, this, &OutputSettings::refresh);
  connect(&output_, &AudioOutput::defaultDeviceIDChanged, this, &OutputSettings::refresh);
  refresh();
}

void OutputSettings::refresh() {
  const auto& devices = output_.devices();
  empty_->setVisible(devices.empty());
  list_->setVisible(!devices.empty());
  list_->setRows(outputRows(devices, output_.defaultDeviceID()));
  showError(*error_, output_.lastError());
}

void OutputSettings::choose(const std::string& id) {
  const auto& devices = output_.devices();
  const auto device =
      std::ranges::find_if(devices, [&](const AudioOutput::Device& each) { return std::to_string(each.id) == id; });
  if (device == devices.end()) return;
  // A copy: the switch may refresh the list it came from.
  const AudioOutput::Device chosen = *device;
  output_.select(chosen);
}

}  // namespace kovali
