#include "platform/runtime/set_if_changed.h"

#include <QObject>
#include <QSignalSpy>
#include <gtest/gtest.h>

namespace kovali {
namespace {

/// The shape every observable service follows.
class Lamp : public QObject {
  Q_OBJECT
  Q_PROPERTY(QString colour READ colour WRITE setColour NOTIFY colourChanged)

 public:
  QString colour() const { return colour_; }
  void setColour(const QString& colour) {
    if (setIfChanged(colour_, colour)) emit colourChanged();
  }

 signals:
  void colourChanged();

 private:
  QString colour_;
};

TEST(SetIfChanged, NotifiesOnlyWhenTheValueChanges) {
  Lamp lamp;
  QSignalSpy changes(&lamp, &Lamp::colourChanged);

  lamp.setColour("red");
  lamp.setColour("red");
  lamp.setProperty("colour", "red");
  EXPECT_EQ(changes.count(), 1);

  lamp.setColour("blue");
  EXPECT_EQ(changes.count(), 2);
  EXPECT_EQ(lamp.colour(), "blue");
}

TEST(SetIfChanged, LeavesAnEqualValueAlone) {
  std::optional<int> field = 3;
  EXPECT_FALSE(setIfChanged(field, 3));
  EXPECT_TRUE(setIfChanged(field, std::nullopt));
  EXPECT_EQ(field, std::nullopt);
}

}  // namespace
}  // namespace kovali

#include "set_if_changed_test.moc"
