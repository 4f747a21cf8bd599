#pragma once

#include <QBoxLayout>
#include <algorithm>
#include <utility>
#include <vector>

namespace kovali {

/// Brings the row widgets `widgets` in line with `models`, in order: a widget whose model has
/// the same `id` is kept (so its artwork is not fetched again) and moved to its place, `make()`
/// makes the missing ones, and the widgets of ids that are gone are deleted. The rows stand in
/// `layout` from `firstIndex` on.
template <class Widget, class Model, class Make>
void reconcileWidgets(std::vector<Widget*>& widgets, const std::vector<Model>& models, QBoxLayout& layout,
                      int firstIndex, Make make) {
  std::vector<Widget*> previous = std::exchange(widgets, {});
  for (const Model& model : models) {
    const auto kept = std::find_if(previous.begin(), previous.end(),
                                   [&](const Widget* widget) { return widget->model().id == model.id; });
    Widget* widget = nullptr;
    if (kept != previous.end()) {
      widget = *kept;
      previous.erase(kept);
      layout.removeWidget(widget);
    } else {
      widget = make();
    }
    widget->setModel(model);
    layout.insertWidget(firstIndex + static_cast<int>(widgets.size()), widget);
    widget->show();
    widgets.push_back(widget);
  }
  for (Widget* gone : previous) delete gone;
}

}  // namespace kovali
