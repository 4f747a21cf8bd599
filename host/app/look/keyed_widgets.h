#pragma once

#include <QBoxLayout>
#include <cstddef>
#include <map>
#include <type_traits>
#include <utility>
#include <vector>

namespace kovali {

/// For a sequence of old places (-1 for none), which entries belong to one longest run of
/// increasing old places: the entries that can stay where they stand while the others move.
std::vector<bool> longestIncreasingRun(const std::vector<std::ptrdiff_t>& oldPlaces);

/// Brings the row widgets `widgets` in line with `models`, in order: a widget whose model has
/// the same `id` is kept (so its artwork is not fetched again, and focus and selection stay
/// with it), `make()` makes the missing ones, and the widgets of ids that are gone are deleted.
/// Only the widgets that changed place are taken out of `layout` and put back, so a change of a
/// few rows costs a few layout steps however long the list. The rows stand in `layout` from
/// `firstIndex` on. Every kept widget is handed its model again; a widget skips what is equal.
/// New widgets are shown; kept ones stay shown or hidden as their owner left them. Meanwhile
/// `widgets` is empty, never half made: what a widget's change sets off (a focus move, a scroll)
/// may read it.
template <class Widget, class Model, class Make>
void reconcileWidgets(std::vector<Widget*>& widgets, const std::vector<Model>& models, QBoxLayout& layout,
                      int firstIndex, Make make) {
  using Key = std::remove_cvref_t<decltype(std::declval<const Model&>().id)>;
  std::vector<Widget*> old = std::exchange(widgets, {});
  // Ids may repeat: the first old widget of an id goes to the first new model of it.
  std::multimap<Key, std::size_t> oldPlaceOf;
  for (std::size_t place = 0; place < old.size(); ++place) oldPlaceOf.emplace(old[place]->model().id, place);

  std::vector<Widget*> next(models.size(), nullptr);
  std::vector<std::ptrdiff_t> keptFrom(models.size(), -1);
  for (std::size_t place = 0; place < models.size(); ++place) {
    const auto found = oldPlaceOf.lower_bound(models[place].id);
    if (found == oldPlaceOf.end() || found->first != models[place].id) continue;
    keptFrom[place] = static_cast<std::ptrdiff_t>(found->second);
    next[place] = old[found->second];
    old[found->second] = nullptr;
    oldPlaceOf.erase(found);
  }
  for (Widget* gone : old) delete gone;  // leaves the layout as it goes

  const std::vector<bool> staying = longestIncreasingRun(keptFrom);
  for (std::size_t place = 0; place < next.size(); ++place) {
    if (next[place] && !staying[place]) layout.removeWidget(next[place]);
  }
  // What stays is in order already; the others go in at their places, front to back.
  for (std::size_t place = 0; place < next.size(); ++place) {
    const bool made = !next[place];
    if (made) next[place] = make();
    next[place]->setModel(models[place]);
    if (!staying[place]) layout.insertWidget(firstIndex + static_cast<int>(place), next[place]);
    if (made) next[place]->show();
  }
  widgets = std::move(next);
}

}  // namespace kovali
