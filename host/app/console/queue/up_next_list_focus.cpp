// Keeping the keyboard focus on the list's rows while the rows change under it.

#include <algorithm>
#include <string>
#include <unordered_map>

#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/window_focus.h"

namespace kovali {

std::optional<UpNextList::FocusedButton> UpNextList::focusedButton() const {
  // The window's focus, also while another window is active: a song ending changes the rows then too.
  QWidget* focused = window()->focusWidget();
  const auto place = placeOf(focused);
  if (!place) return std::nullopt;
  const QueueRow& row = *rowAt(*place);
  FocusedButton was{focused, *place, models_[*place].id, focused == &row.removeButton(), std::nullopt, {}};
  if (standsInView(*place)) was.topInView = static_cast<int>(*place) * rowHeight() - viewTop();
  return was;
}

bool UpNextList::staysOn(const FocusedButton& was, const std::vector<QueueRowModel>& rows) {
  const auto now = std::find_if(rows.begin(), rows.end(), [&](const QueueRowModel& row) { return row.id == was.id; });
  return now != rows.end() && (was.remove || now->canPlayNext);
}

void UpNextList::settleFocus(const FocusedButton& was, bool going, bool byDJ) {
  // The view follows the DJ's own press to the focus; a change elsewhere leaves the view as it
  // is, so Space never acts on a song such a change took out of the DJ's sight.
  if (byDJ || !was.topInView) {
    if (going) handFocusOn(was);
    return;
  }
  settleView();  // a shorter list pulls the view up with the rows
  const auto place = focusedPlace();
  // The list holds the focus of a button that went.
  if (!place || !standsInView(*place)) focusWhereItStood(was);
}

void UpNextList::holdFocus(QWidget& button) {
  // Going or turning off, the button would hand the focus on by itself, scrolling the list to it
  // and, under a popup, taking the focus from the popup.
  if (focusIsInAnotherWindow(*this)) {
    button.clearFocus();
  } else {
    setFocus(Qt::OtherFocusReason);
  }
}

void UpNextList::handFocusOn(const FocusedButton& was) {
  std::unordered_map<std::string, std::size_t> placeNow;
  for (std::size_t place = 0; place < models_.size(); ++place) placeNow.emplace(models_[place].id, place);
  const auto takesFocus = [&](std::size_t before) {
    const auto found = placeNow.find(was.idsBefore[before]);
    return found != placeNow.end() && focusIfOn(found->second, was.remove);
  };
  for (std::size_t before = was.place + 1; before < was.idsBefore.size(); ++before) {
    if (takesFocus(before)) return;
  }
  for (std::size_t before = was.place; before-- > 0;) {
    if (takesFocus(before)) return;
  }
  setWindowFocus(*this, Qt::OtherFocusReason);
}

void UpNextList::focusWhereItStood(const FocusedButton& was) {
  if (const auto inView = rowsInView()) {
    const auto [first, last] = *inView;
    const int height = rowHeight();
    const int middle = std::max(0, viewTop() + *was.topInView + height / 2);  // of where the row stood
    const auto stood = std::clamp(static_cast<std::size_t>(middle / height), first, last);
    // Nearest first, the row below before the one above, as the follower is in other changes.
    for (std::size_t distance = 0; stood + distance <= last || stood >= first + distance; ++distance) {
      if (stood + distance <= last && focusIfOn(stood + distance, was.remove)) return;
      if (distance > 0 && stood >= first + distance && focusIfOn(stood - distance, was.remove)) return;
    }
  }
  setWindowFocus(*this, Qt::OtherFocusReason);
}

bool UpNextList::focusIfOn(std::size_t place, bool remove) {
  if (!isOn(place, remove)) return false;
  focusButton(place, remove, Qt::OtherFocusReason);
  return true;
}

bool UpNextList::isOn(std::size_t place, bool remove) const { return remove || models_[place].canPlayNext; }

void UpNextList::focusButton(std::size_t place, bool remove, Qt::FocusReason reason) {
  QueueRow& row = makeRowAt(place);
  setWindowFocus(remove ? row.removeButton() : row.playNextButton(), reason);
}

}  // namespace kovali
