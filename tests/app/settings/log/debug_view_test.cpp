#include "app/settings/log/debug_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QListView>
#include <QScrollBar>
#include <QTest>
#include <cmath>

#include "app/settings/log/engine_log_model.h"
#include "app/settings/log/engine_log_text.h"
#include "session/store/session_store_fixture.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;

TEST(EngineLogText, TheStatusLineNamesStatusPositionSongsAndRevision) {
  struct Case {
    PlaybackStatus status;
    double time;
    std::optional<std::string> current;
    std::optional<std::string> next;
    std::int64_t revision;
    const char* expected;
  } cases[] = {
      {PlaybackStatus::stopped, 0, std::nullopt, std::nullopt, 0,
       "engine stopped at 0:00 · current=nil next=nil · rev 0"},
      {PlaybackStatus::playing, 125.7, "s1", std::nullopt, 57, "engine playing at 2:05 · current=s1 next=nil · rev 57"},
      {PlaybackStatus::paused, 4500, "s1", "s2", 3, "engine paused at 75:00 · current=s1 next=s2 · rev 3"},
      {PlaybackStatus::playing, NAN, "s1", "s2", 3,
       "engine playing at \u2013:\u2013\u2013 · current=s1 next=s2 · rev 3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(engineStatusLine(c.status, c.time, c.current, c.next, c.revision), c.expected) << c.expected;
  }
}

TEST(EngineLogText, RowsShowTheTimeOfDayWithSecondsInTheLocalesOwnWay) {
  const QDateTime moment(QDate(2026, 12, 7), QTime(14, 5, 9));
  const vinaro::Date date{static_cast<double>(moment.toMSecsSinceEpoch())};
  const PlayerEngine::LogLine line{"id", date, "strategy \u2192 Current only"};
  EXPECT_EQ(logRowText(line, QLocale(QLocale::German, QLocale::Germany)),
            QString::fromUtf8("14:05:09  strategy \u2192 Current only"));
  const QString american = logTimeText(date, QLocale(QLocale::English, QLocale::UnitedStates));
  EXPECT_TRUE(american.startsWith("2:05:09")) << american.toStdString();
  EXPECT_TRUE(american.endsWith("PM")) << american.toStdString() << ": the clock's half of the day, no time zone";
}

class DebugViewTest : public SessionStoreTest {
 protected:
  DebugViewTest() { makeStore(); }

  static QString row(const DebugView& view, int index) { return view.logModel().index(index).data().toString(); }
  static bool lastRowVisible(DebugView& view) {
    QListView& list = view.logList();
    const QRect last = list.visualRect(view.logModel().index(view.logModel().rowCount() - 1));
    return list.viewport()->rect().contains(last);
  }
  static int firstVisibleRow(DebugView& view) { return view.logList().indexAt(QPoint(4, 4)).row(); }
  void fillLog(int count, const std::string& prefix) {
    for (int i = 0; i < count; ++i) player.log(prefix + std::to_string(i));
  }
};

TEST_F(DebugViewTest, AStoppedEngineWithoutSongsShowsNilAndRevisionZero) {
  DebugView view(store());
  EXPECT_EQ(view.statusLine(), QString::fromUtf8("engine stopped at 0:00 · current=nil next=nil · rev 0"));
  ASSERT_TRUE(store().dispatch(vinaro::action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  EXPECT_TRUE(view.statusLine().endsWith(QStringLiteral("rev 1"))) << view.statusLine().toStdString();
}

TEST_F(DebugViewTest, ChoosingCurrentOnlySetsTheStrategyAndItsLineAppears) {
  DebugView view(store());
  QComboBox& picker = view.strategyPicker();
  ASSERT_EQ(picker.count(), 2);
  EXPECT_EQ(picker.itemText(0), QString("Current + next"));
  EXPECT_EQ(picker.itemText(1), QString("Current only"));
  EXPECT_EQ(picker.currentIndex(), 0);

  picker.setFocus();
  QTest::keyClick(&picker, Qt::Key_Down);
  EXPECT_EQ(player.strategy(), PlayerEngine::Strategy::currentOnly);
  ASSERT_GE(view.logModel().rowCount(), 1);
  EXPECT_TRUE(row(view, view.logModel().rowCount() - 1).endsWith(QString::fromUtf8("  strategy → Current only")));

  player.setStrategy(PlayerEngine::Strategy::currentAndNext);
  EXPECT_EQ(picker.currentIndex(), 0) << "the picker follows the engine";
}

TEST_F(DebugViewTest, OpensAtTheOldestLineAndFollowsNewOnesEvenOnceTheLogIsFull) {
  fillLog(40, "old ");
  DebugView view(store());
  renderWidget(view, QSize(640, 320));
  EXPECT_EQ(firstVisibleRow(view), 0) << "a long log opens at its oldest line";
  EXPECT_FALSE(lastRowVisible(view));

  player.log("new line");
  grabWidget(view);
  EXPECT_TRUE(lastRowVisible(view)) << "a new line brings the list to the bottom";

  fillLog(300, "filler ");
  ASSERT_EQ(player.log().size(), PlayerEngine::logCapacity);
  view.logList().scrollToTop();
  grabWidget(view);
  ASSERT_FALSE(lastRowVisible(view));
  player.log("after the cap");
  grabWidget(view);
  EXPECT_EQ(view.logModel().rowCount(), 300) << "the count stays at the cap";
  EXPECT_TRUE(row(view, 299).endsWith("  after the cap"));
  EXPECT_TRUE(lastRowVisible(view)) << "the list still follows at 300 lines";
}

TEST_F(DebugViewTest, TheListFollowsTheLogRowByRow) {
  fillLog(300, "line ");
  DebugView view(store());
  const EngineLogModel& model = view.logModel();
  int removed = 0;
  int inserted = 0;
  QObject::connect(&model, &QAbstractItemModel::rowsRemoved, [&](const QModelIndex&, int first, int last) {
    EXPECT_EQ(first, 0);
    removed += last - first + 1;
  });
  QObject::connect(&model, &QAbstractItemModel::rowsInserted,
                   [&](const QModelIndex&, int first, int last) { inserted += last - first + 1; });
  player.log("301st");
  player.log("302nd");
  EXPECT_EQ(removed, 2);
  EXPECT_EQ(inserted, 2);
  EXPECT_EQ(model.lines(), player.log());
  EXPECT_TRUE(row(view, 0).endsWith("  line 2"));
}

TEST_F(DebugViewTest, ASelectedRowCopiesItsOwnText) {
  fillLog(3, "line ");
  DebugView view(store());
  renderWidget(view, QSize(640, 320));
  view.logList().setCurrentIndex(view.logModel().index(1));
  view.logList().setFocus();
  QTest::keySequence(&view.logList(), QKeySequence::Copy);
  EXPECT_EQ(QApplication::clipboard()->text(), row(view, 1));
  EXPECT_TRUE(QApplication::clipboard()->text().endsWith("  line 1"));
}

}  // namespace
}  // namespace kovali
