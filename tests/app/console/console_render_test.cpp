// The console in the states a DJ meets, rendered for people to look at, with every text whole or
// elided on purpose at the smallest window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPalette>
#include <QScrollArea>
#include <QScrollBar>

#include "app/console/console_fixture.h"
#include "app/console/queue/queue_column.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/look/text/fitted_label.h"
#include "app/shell/window/main_window.h"
#include "support/cut_text.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

const QSize kSmallest = MainWindow::minimumContentSize;

const char* const kLongAdvice =
    "The sound server stopped the stream before it started. If no song plays, choose another output in "
    "Settings, or restart the sound server and press play again.";

class ConsoleRenderTest : public ConsoleTest {
 protected:
  /// Renders the console at the smallest window and the default one, saves both and expects no
  /// text cut at either.
  void renderBoth(const QString& name) {
    ConsoleView& view = makeConsole();
    for (const QSize size : {kSmallest, MainWindow::defaultSize}) {
      saveArtifact(renderWidget(view, size),
                   QStringLiteral("console-%1-%2x%3.png").arg(name).arg(size.width()).arg(size.height()));
      EXPECT_EQ(cutTexts(view).join(QLatin1Char('\n')).toStdString(), "")
          << name.toStdString() << " at " << size.width();
    }
  }
};

TEST_F(ConsoleRenderTest, AnEmptyPartyCutsNoText) {
  startHosting();
  renderBoth(QStringLiteral("empty"));
}

TEST_F(ConsoleRenderTest, AFullPartyCutsNoTextInTheLightAndTheDarkPalette) {
  fullParty();
  renderBoth(QStringLiteral("full"));
  const QPalette light = QApplication::palette();
  QApplication::setPalette(darkPalette(light));
  renderBoth(QStringLiteral("dark"));
  QApplication::setPalette(light);
}

TEST_F(ConsoleRenderTest, ALongProblemWrapsAndWhatDoesNotFitIsItsToolTip) {
  startHosting();
  queueSongs(2);
  music.setAvailability(MusicService::Failed{std::string(kLongAdvice) + " " + kLongAdvice});
  renderBoth(QStringLiteral("unhealthy"));
  const auto* status = console().findChild<FittedLabel*>(QStringLiteral("consoleStatus"));
  ASSERT_NE(status, nullptr);
  const auto fit = status->fit(status->width());
  EXPECT_GT(fit.lines.size(), 1) << "the advice wraps";
  if (fit.cut) {
    EXPECT_EQ(status->toolTip(), status->text());
  }
}

TEST_F(ConsoleRenderTest, LongNamesAndTitlesAreElidedWithTheirWholeText) {
  startHosting();
  for (int i = 0; i < 3; ++i) {
    host(vinaro::action::Add{namedTrack("long" + std::to_string(i),
                                        "A very long title that goes on and on about the night " + std::to_string(i),
                                        "An artist with a name longer than any column")});
  }
  renderBoth(QStringLiteral("long-texts"));
}

TEST_F(ConsoleRenderTest, AQueueOfThreeDigitPlacesShowsEveryPlaceWhole) {
  startHosting();
  queueSongs(120);
  renderBoth(QStringLiteral("queue-120"));
  const UpNextList& list = console().queueColumn().upNext();
  ASSERT_EQ(list.rowModels().size(), 120u);
  const int firstWidth = list.rows().front()->findChild<PlaceNumber*>()->width();
  QScrollBar& bar = *list.findChild<QScrollArea*>()->verticalScrollBar();
  bar.setValue(bar.maximum());
  EXPECT_EQ(list.rows().back()->model().position, "120");
  EXPECT_EQ(firstWidth, list.rows().back()->findChild<PlaceNumber*>()->width())
      << "every place takes the width of the longest, so the titles stay in line";
}

}  // namespace
}  // namespace kovali
