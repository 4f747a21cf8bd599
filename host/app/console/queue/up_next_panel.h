#pragma once

#include <QWidget>

#include "app/console/queue/up_next_list.h"

class QDropEvent;

namespace kovali {

/// The rows' container inside the scroll area; it takes the drops of this list's own rows.
class UpNextList::Panel final : public QWidget {
 public:
  explicit Panel(UpNextList& list);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent*) override;
  void resizeEvent(QResizeEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  void dropEvent(QDropEvent* event) override;

 private:
  /// Takes a drag of this list's own rows, and only those.
  bool accept(QDropEvent* event);
  /// Scrolls the list while a drag nears its top or bottom edge.
  void autoScroll(int y);

  UpNextList& list_;
};

}  // namespace kovali
