#pragma once

#include <QWidget>

#include "app/console/console_snapshot.h"

namespace kovali {

class ArtworkLoader;
class QueueColumn;
class RequestsColumn;
class Sidebar;
class Scheduler;
class SessionStore;

/// The DJ console, the main window's "DJ Controls": the sidebar, the queue column and the
/// requests column side by side on the paper colour, split by hairlines. It follows the store
/// and its services and hands each column what it shows, also while another page is up, so that
/// it appears as the party is.
class ConsoleView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int sidebarWidth = 276;
  static constexpr int requestsWidth = 348;

  ConsoleView(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent = nullptr);

  Sidebar& sidebar() const { return *sidebar_; }
  QueueColumn& queueColumn() const { return *queue_; }
  RequestsColumn& requestsColumn() const { return *requests_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void refresh();

  SessionStore& store_;
  Sidebar* sidebar_ = nullptr;
  QueueColumn* queue_ = nullptr;
  RequestsColumn* requests_ = nullptr;
};

}  // namespace kovali
