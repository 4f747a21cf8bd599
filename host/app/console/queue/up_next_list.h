#pragma once

#include <QByteArray>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <cstddef>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "app/console/queue/queue_column_model.h"

class QMimeData;
class QScrollArea;

namespace kovali {

class ArtworkLoader;
class PlainLabel;
class QueueRow;

/// The "Up next" list of the console: a scrolling column of queue rows that can be dragged to
/// another place. Rows are made only for the places in and near the view, and for the focused
/// row and its neighbours, so a queue of thousands costs what a screenful does when the list
/// appears, changes or scrolls; a made row is kept with its queue item while the queue changes,
/// and taken for another place once it goes out of view. It shows what it is given and reports
/// presses and drops; the owner changes the queue. The view follows the focused row only where
/// the DJ moved the focus or acted on that row, never for changes made elsewhere: a focused row
/// such a change takes out of view leaves the focus on the row now standing where it stood.
/// Holding the focus itself, once the rows it was on are gone, the list takes Space and shows the
/// ring, so a DJ clearing the queue by key leaves the party playing; Escape hands the focus to the
/// page around, where Space plays and pauses.
class UpNextList final : public QWidget {
  Q_OBJECT

 public:
  /// The type of a dragged row's data: the list's own token, "/" and the row's queue item id.
  static constexpr const char* mimeType = "application/x-kovali-queue-row";

  explicit UpNextList(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setRows(std::vector<QueueRowModel> rows);
  /// The rows of the change before the last, or those refused as unchanged, to be made again:
  /// their strings are kept where the songs are.
  std::vector<QueueRowModel> takeEarlierRows() { return std::move(earlierModels_); }
  /// The rows listed, made or not.
  const std::vector<QueueRowModel>& rowModels() const { return models_; }
  /// The rows made, in queue order: those in and near the view, and the focused one's.
  const std::vector<QueueRow*>& rows() const { return made_; }
  /// The row made for `place`, if any.
  QueueRow* rowAt(std::size_t place) const;
  /// The widget that takes the drops; positions are in its coordinates.
  QWidget& dropArea() const;
  /// The data a drag of the row at `row` carries: its song, wherever the queue has moved it by the
  /// drop. Only this list takes it.
  QMimeData* dragData(std::size_t row) const;

  /// The insertion index, counted in the list as it is, that a drop at `y` names: before the
  /// first row whose middle lies below `y`, else after the last.
  std::size_t destinationAt(int y) const;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  /// Follows the focus of the rows' buttons: Tab from outside lands on a row in view, the list
  /// scrolls to the row that takes the focus, and Page Up and Down take the focus along.
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  void playNextClicked(const std::string& itemID);
  void removeClicked(const std::string& itemID);
  /// The row of queue item `itemID` was dropped at insertion index `destination` of the rows
  /// `shownIDs` (their queue item ids) the list showed at the drop, which may lag the queue by a frame.
  void rowDropped(const std::string& itemID, const std::vector<std::string>& shownIDs, std::size_t destination);

 private:
  class Panel;
  class View;
  /// The row button that had the focus before the rows changed, by the row's place and id.
  struct FocusedButton {
    QPointer<QWidget> button;
    std::size_t place = 0;
    std::string id;
    bool remove = false;
    std::optional<int> topInView;  // where the row stood in the view, when it stood wholly in it
    /// The rows' ids before the change, to find the neighbours; only taken for a button that goes.
    std::vector<std::string> idsBefore;
  };

  std::optional<std::size_t> placeOf(const QWidget* inRow) const;
  /// The place of the row whose button has the window's focus.
  std::optional<std::size_t> focusedPlace() const;
  /// The place in the rows as they are now of the song whose made row has the focus: the made
  /// rows may still stand where the rows before a change put them.
  std::optional<std::size_t> focusedPlaceNow() const;
  std::optional<FocusedButton> focusedButton() const;
  std::vector<std::string> shownIDs() const;
  /// Whether the focused button stays with the change to `rows`: its row stays and the button stays on.
  static bool staysOn(const FocusedButton& was, const std::vector<QueueRowModel>& rows);
  /// Keeps the focus of a button about to go off a row that is about to be replaced: the list
  /// holds it, or, while another window has the focus, this window gives back none meanwhile.
  void holdFocus(QWidget& button);
  /// Settles the focus `was` after the rows changed, `going` from its button, by the DJ's press or not.
  void settleFocus(const FocusedButton& was, bool going, bool byDJ);
  /// Gives the focus the row's button is losing with the change to the same button of the row
  /// that followed it, else of the one before it, else to the list.
  void handFocusOn(const FocusedButton& was);
  /// Gives the focus to the same button of the row now standing where the focused row stood in
  /// view, else of the nearest row in view with that button on, else to the list.
  void focusWhereItStood(const FocusedButton& was);
  /// Focuses the button of the row at `place` unless it is off; answers whether it did.
  bool focusIfOn(std::size_t place, bool remove);
  /// Whether the button of the row at `place` takes presses.
  bool isOn(std::size_t place, bool remove) const;
  void focusButton(std::size_t place, bool remove, Qt::FocusReason reason);
  /// Hands the focus, on a row or on the list, to the page the list stands on.
  void releaseFocus();
  /// Chains Tab through the made rows' buttons in the order they are shown, after the anchor.
  void orderTabsAsShown();
  /// A row for another place: one no place needs any more, or a new one.
  QueueRow& takeRow();
  /// Puts `row` at `place` of the column and shows it.
  void placeRow(QueueRow& row, std::size_t place);
  /// The row made for `place`, made now if there was none.
  QueueRow& makeRowAt(std::size_t place);
  /// Connects a new row's presses, noting those made on the focused row.
  void connectRow(QueueRow& row);
  void focusEntered(std::size_t place, Qt::FocusReason reason);
  /// Scrolls a page and moves the focus onto the rows the page shows.
  void turnPage(std::size_t place, bool down);
  int rowHeight() const;
  /// Where the view's top edge stands, counted from the first row's top.
  int viewTop() const;
  /// The first and last row that stand wholly in a view `viewHeight` high.
  std::optional<std::pair<std::size_t, std::size_t>> rowsInView(std::optional<int> viewHeight = std::nullopt) const;
  /// Whether a row at `place` stands wholly in the view as it is scrolled, however many rows follow.
  bool standsInView(std::size_t place) const;
  /// Brings the view's range, and the scroll clamped to it, up to the rows now in the column at
  /// once, rather than at the next layout.
  void settleView();
  void scrollToRow(std::size_t place);
  /// The queue item id of a row of this list that `dropped` carries.
  std::optional<std::string> draggedItem(const QMimeData* dropped) const;
  void startDrag(QueueRow* row);
  void showDropIndicator(std::optional<std::size_t> destination);
  /// Makes the rows of the places in and near the view and beside the focus, taking the rows of
  /// other places for them, and lays them out at their places.
  void showRowsNearTheView();
  void makeRowsNearTheView();
  /// Puts the made rows where their places stand, as wide as the column.
  void layOutMadeRows();
  /// Where the row of `place` stands in the column.
  QRect slotOf(std::size_t place) const;

  ArtworkLoader& loader_;
  QByteArray token_;
  Panel* panel_ = nullptr;
  QScrollArea* scroll_ = nullptr;
  QWidget* indicator_ = nullptr;
  QWidget* tabAnchor_ = nullptr;  // never shown; the rows' buttons follow it in the Tab chain
  /// The widget a row's buttons were last put after in the Tab chain.
  struct TabLink {
    QPointer<const QueueRow> row;
    QPointer<QWidget> after;
  };
  std::unordered_map<const QueueRow*, TabLink> tabLinks_;
  bool tabbingInside_ = false;    // Tab moves between the rows' own buttons
  bool changingRows_ = false;     // focus moves of the toolkit while rows change are not the user's
  bool actedOnFocus_ = false;     // the DJ pressed the focused row's button; the next rows follow it
  PlainLabel* empty_ = nullptr;
  std::vector<QueueRowModel> models_;  // in queue order
  std::vector<QueueRowModel> earlierModels_;
  std::vector<QueueRow*> made_;        // in queue order
  std::vector<std::size_t> madePlaces_;  // the place of each made row
  std::vector<QueueRow*> spare_;       // hidden, for the next places that come into view
  int rowHeight_ = 0;                  // every row is as high as the first made
  int positionDigits_ = 0;
};

}  // namespace kovali
