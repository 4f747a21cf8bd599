// Keyed rows follow their models by id: the kept widgets keep their place in the layout unless
// they moved, so a change of one row in a long list takes one row out of the layout, not all.

#include <gtest/gtest.h>

#include <QVBoxLayout>
#include <QWidget>
#include <string>
#include <vector>

#include "app/look/keyed_widgets.h"

namespace kovali {
namespace {

struct Row {
  std::string id;
};

class RowWidget final : public QWidget {
 public:
  using QWidget::QWidget;
  void setModel(const Row& model) { model_ = model; }
  const Row& model() const { return model_; }

 private:
  Row model_;
};

/// Counts the rows taken out of it, however they leave.
class CountingLayout final : public QVBoxLayout {
 public:
  using QVBoxLayout::QVBoxLayout;
  QLayoutItem* takeAt(int index) override {
    ++taken;
    return QVBoxLayout::takeAt(index);
  }
  int taken = 0;
};

std::vector<Row> rows(const std::string& ids) {
  std::vector<Row> models;
  for (const char id : ids) models.push_back({std::string(1, id)});
  return models;
}

TEST(KeyedWidgets, KeepsEachIdsWidgetInOrderAndTakesOutOnlyWhatMoved) {
  struct Case {
    const char* name;
    const char* before;
    const char* after;
    int taken;  // rows taken out of the layout, moved or deleted
  } const cases[] = {
      {"nothing changed", "abcdefgh", "abcdefgh", 0},
      {"the first row moved to the end", "abcdefgh", "bcdefgha", 1},
      {"a row moved up", "abcdefgh", "abfcdegh", 1},
      {"a row before the others removed", "abcdefgh", "bcdefgh", 1},
      {"a row inserted at the top", "abcdefgh", "xabcdefgh", 0},
      {"the order reversed", "abcd", "dcba", 3},
      {"everything replaced", "abc", "xyz", 3},
      {"an id given twice", "abca", "aabc", 1},
  };
  for (const Case& test : cases) {
    QWidget panel;
    auto* layout = new CountingLayout(&panel);
    layout->addStretch(1);  // the rows stand before it
    std::vector<RowWidget*> widgets;
    const auto make = [&] { return new RowWidget(&panel); };
    reconcileWidgets(widgets, rows(test.before), *layout, 0, make);
    std::vector<RowWidget*> first = widgets;
    layout->taken = 0;

    reconcileWidgets(widgets, rows(test.after), *layout, 0, make);

    EXPECT_EQ(layout->taken, test.taken) << test.name;
    ASSERT_EQ(layout->count(), static_cast<int>(widgets.size()) + 1) << test.name;
    std::string shown;
    for (int index = 0; index + 1 < layout->count(); ++index) {
      auto* widget = static_cast<RowWidget*>(layout->itemAt(index)->widget());
      EXPECT_EQ(widget, widgets[static_cast<std::size_t>(index)]) << test.name << " at " << index;
      shown += widget->model().id;
    }
    EXPECT_EQ(shown, test.after) << test.name;
    for (std::size_t place = 0; place < widgets.size(); ++place) {
      const std::string before(test.before);
      const auto old = before.find(test.after[place]);
      if (old != std::string::npos && before.find(test.after[place], old + 1) == std::string::npos) {
        EXPECT_EQ(widgets[place], first[old]) << test.name << ": the widget of " << test.after[place] << " is kept";
      }
    }
    EXPECT_EQ(panel.findChildren<RowWidget*>().size(), widgets.size()) << test.name << ": the others are deleted";
  }
}

}  // namespace
}  // namespace kovali
