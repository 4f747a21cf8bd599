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
/// and its services and hands each column what it shows; while another page is up it only notes
/// that it is behind, and catches up as it is shown.
class ConsoleView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int sidebarWidth = 276;
  static constexpr int requestsWidth = 348;

  ConsoleView(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent = nullptr);

  Sidebar& sidebar() const { return *sidebar_; }
  QueueColumn& queueColumn() const { return *queue_; }
  RequestsColumn& requestsColumn() const { return *requests_; }

  /// Shows the party as it is now, if it changed while the console was out of sight. Called
  /// before the console is put up, so rows it gained meanwhile go into a list not yet shown.
  void catchUp();

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void refresh();

  SessionStore& store_;
  Sidebar* sidebar_ = nullptr;
  QueueColumn* queue_ = nullptr;
  RequestsColumn* requests_ = nullptr;
  bool behind_ = true;
};

}  // namespace kovali
