#include "app/party/party_view.h"

#include <QDir>
#include <QLabel>
#include <QPalette>
#include <gtest/gtest.h>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol_label.h"
#include "app/look/text/eyebrow.h"
#include "app/look/text/fitted_label.h"
#include "app/party/qr_code_view.h"
#include "app/party/up_next_card.h"
#include "support/fake_artwork_loader.h"
#include "support/manual_scheduler.h"
#include "support/qr_decoder.h"
#include "support/sample_values.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

namespace samples = vinaro::samples;

const QSize kWindow(1260, 760);
const std::string kSessionID = "7F3C2A10-0000-4000-8000-00000000A11C";

class PartyViewTest : public ::testing::Test {
 protected:
  PartySnapshot livelyParty() {
    auto state = vinaro::SessionState::newParty(kSessionID, "Friday");
    auto current = samples::queueItem("q-now", "now", samples::ana);
    current.track.title = "Midnight Drive";
    current.track.artist = "The Night Owls";
    current.track.artworkURLTemplate = "https://art.example/now/{w}x{h}.jpg";
    state.playback = {vinaro::PlaybackStatus::playing, current, 60, scheduler.now()};
    for (int i = 0; i < 5; ++i) {
      state.queue.push_back(samples::queueItem("q" + std::to_string(i), "t" + std::to_string(i), samples::ben));
    }
    state.badges = std::map<std::string, std::string>{{samples::ana.id, "gold"}, {samples::ben.id, "vip"}};
    PartySnapshot snapshot;
    snapshot.state = std::make_shared<const vinaro::SessionState>(std::move(state));
    snapshot.serverStatus = HostServerStatus::ready(4242);
    snapshot.advertisedName = "Zoé's Party Mac";
    snapshot.partygoerCount = 3;
    return snapshot;
  }

  /// Changes the state `snapshot` shows, as the store would: by handing it a new one.
  template <class Change>
  static void changeState(PartySnapshot& snapshot, Change change) {
    auto state = *snapshot.state;
    change(state);
    snapshot.state = std::make_shared<const vinaro::SessionState>(std::move(state));
  }

  template <class T>
  T* child(const char* name) {
    auto* found = view.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  QString labelText(const char* name) {
    const auto* label = child<QLabel>(name);
    return label ? label->text() : QString();
  }

  ManualScheduler scheduler;
  FakeArtworkLoader loader{scheduler};
  PartyView view{scheduler, loader};
};

TEST_F(PartyViewTest, RendersBothColumnsAndAJoinCodeThatScansToTheJoinURL) {
  QImage cover(600, 600, QImage::Format_RGB32);
  cover.fill(QColor(40, 90, 200));
  loader.images["https://art.example/now/380x380.jpg"] = cover;
  const PartySnapshot party = livelyParty();
  view.setSnapshot(party);
  renderWidget(view, kWindow);
  scheduler.advance(1);
  const QImage image = grabWidget(view);

  QDir().mkpath(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR));
  EXPECT_TRUE(image.save(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR "/party_view.png")));

  const int split = 731;  // 0.58 of 1260, rounded
  EXPECT_TRUE(pixelIs(image, 5, 5, Palette::cream())) << "the light column";
  EXPECT_TRUE(pixelIs(image, split - 1, 400, Palette::cream())) << "the light column ends at 58 %";
  EXPECT_TRUE(pixelIs(image, split, 400, Palette::charcoal())) << "the dark column begins there";
  EXPECT_TRUE(pixelIs(image, kWindow.width() - 2, kWindow.height() - 2, Palette::charcoal()));

  const auto* artwork = view.findChildren<ArtworkTile*>().value(0);
  ASSERT_NE(artwork, nullptr);
  const QPoint artworkCentre = artwork->mapTo(&view, artwork->rect().center());
  EXPECT_LT(artworkCentre.x(), split);
  EXPECT_TRUE(pixelIs(image, artworkCentre.x(), artworkCentre.y(), QColor(40, 90, 200))) << "the loaded cover";

  const vinaro::JoinLink link{"Zoé's Party Mac", kSessionID};
  EXPECT_EQ(decodeQRCodes(image), std::vector<std::string>{link.url()});
  const auto* code = view.findChild<QRCodeView*>();
  ASSERT_NE(code, nullptr);
  EXPECT_GE(code->mapTo(&view, QPoint(0, 0)).x(), split) << "the code sits in the dark column";
  EXPECT_EQ(labelText("joinInstruction"), QStringLiteral("Open Kovali on your iPhone, or pick \u201CZoé's Party Mac\u201D"));
  EXPECT_EQ(child<SymbolLabel>("partygoers")->text(), QStringLiteral("3 partygoers"));
  EXPECT_EQ(child<SymbolLabel>("partyMode")->text(), QStringLiteral("Collaboration"));
  EXPECT_EQ(view.findChildren<UpNextCard*>().size(), 3);
  EXPECT_EQ(labelText("upNextMore"), QStringLiteral("+2"));
}

TEST_F(PartyViewTest, AtLaunchTheLightColumnIsPlainAboveItsContentWhicheverTileIsHidden) {
  for (const bool liveInput : {false, true}) {
    auto party = livelyParty();
    if (liveInput) changeState(party, [](auto& state) { state.input = vinaro::LiveInput{"mic", "Turntable", true}; });
    PartyView launched{scheduler, loader};
    launched.setSnapshot(party);
    launched.resize(kWindow);
    launched.show();
    const QImage image = screenImage(launched);
    QDir().mkpath(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR));
    image.save(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR "/party_view_launch_%1.png").arg(liveInput ? "live" : "song"));
    int contentTop = kWindow.height();
    for (const auto* eyebrow : launched.findChildren<Eyebrow*>()) {
      contentTop = std::min(contentTop, eyebrow->mapTo(&launched, QPoint(0, 0)).y());
    }
    int smudged = 0;
    for (int y = 0; y < contentTop; ++y) {
      for (int x = 0; x < kWindow.width() * PartyView::leftShare; ++x) {
        smudged += !pixelIs(image, x, y, Palette::cream());
      }
    }
    EXPECT_EQ(smudged, 0) << (liveInput ? "the song's tile hidden" : "the live input's tile hidden");
  }
}

TEST_F(PartyViewTest, ProgressMovesOnEverySecondWhileShown) {
  view.setSnapshot(livelyParty());
  renderWidget(view, kWindow);
  EXPECT_EQ(labelText("elapsedTime"), QStringLiteral("1:00"));
  EXPECT_EQ(labelText("duration"), QStringLiteral("3:20"));
  EXPECT_EQ(labelText("playbackStatus"), QStringLiteral("Playing"));

  scheduler.advance(1);
  EXPECT_EQ(labelText("elapsedTime"), QStringLiteral("1:01"));
  scheduler.advance(4);
  EXPECT_EQ(labelText("elapsedTime"), QStringLiteral("1:05"));

  view.hide();
  scheduler.advance(10);
  EXPECT_EQ(labelText("elapsedTime"), QStringLiteral("1:05")) << "no ticking while hidden";
  view.show();
  EXPECT_EQ(labelText("elapsedTime"), QStringLiteral("1:15")) << "caught up when shown again";
}

TEST_F(PartyViewTest, LiveInputReplacesTheSongCardAndStopsTheProgressTimer) {
  auto party = livelyParty();
  view.setSnapshot(party);
  renderWidget(view, kWindow);
  const int timersBefore = scheduler.pendingCount();
  changeState(party, [](auto& state) { state.input = vinaro::LiveInput{"mic", "Turntable", true}; });
  view.setSnapshot(party);

  EXPECT_FALSE(child<QWidget>("nowPlayingTitle")->isVisible());
  EXPECT_TRUE(child<FittedLabel>("liveInputName")->isVisible());
  EXPECT_EQ(child<FittedLabel>("liveInputName")->text(), QStringLiteral("Turntable"));
  EXPECT_EQ(labelText("liveInputNote"),
            QStringLiteral("The queue will resume when the music library is selected as the source."));
  EXPECT_EQ(view.findChildren<UpNextCard*>().size(), 3) << "the queue is still listed";
  EXPECT_EQ(scheduler.pendingCount(), timersBefore - 1);
}

TEST_F(PartyViewTest, WaitsWithASpinnerAndTheStatusUntilTheHostIsAdvertised) {
  auto party = livelyParty();
  party.advertisedName.reset();
  party.serverStatus = HostServerStatus::failed("The listener failed. Retrying automatically.");
  const QImage image = (view.setSnapshot(party), renderWidget(view, kWindow));

  EXPECT_TRUE(decodeQRCodes(image).empty());
  EXPECT_FALSE(view.findChild<QRCodeView*>()->isVisible());
  EXPECT_EQ(labelText("networkStatus"), QStringLiteral("Network error: The listener failed. Retrying automatically."));

  party.advertisedName = "Kitchen";
  view.setSnapshot(party);
  EXPECT_TRUE(view.findChild<QRCodeView*>()->isVisible());
  EXPECT_FALSE(child<QLabel>("networkStatus")->isVisible());
}

TEST_F(PartyViewTest, TextsFromPhonesAreNeverReadAsMarkup) {
  auto party = livelyParty();
  changeState(party, [](auto& state) {
    state.playback.current->track.title = "<b>Loud</b>";
    state.playback.current->addedBy.name = "<img src=x>";
  });
  party.advertisedName = "<i>Mac</i>";
  view.setSnapshot(party);
  renderWidget(view, kWindow);

  EXPECT_EQ(child<FittedLabel>("nowPlayingTitle")->text(), QStringLiteral("<b>Loud</b>"));
  EXPECT_EQ(labelText("joinInstruction"), QStringLiteral("Open Kovali on your iPhone, or pick \u201C<i>Mac</i>\u201D"));
  for (const auto* label : view.findChildren<QLabel*>()) {
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->text().toStdString();
  }
}

TEST_F(PartyViewTest, KeepsItsColoursInTheDarkAppearanceExceptThePlaceholders) {
  auto party = livelyParty();
  changeState(party, [](auto& state) { state.playback.current.reset(); });
  view.setSnapshot(party);
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, Qt::white);
  view.setPalette(dark);
  const QImage image = renderWidget(view, kWindow);

  EXPECT_TRUE(pixelIs(image, 5, 5, Palette::cream()));
  EXPECT_TRUE(pixelIs(image, 1250, 5, Palette::charcoal()));
  const auto* artwork = view.findChildren<ArtworkTile*>().value(0);
  ASSERT_NE(artwork, nullptr);
  const QPoint corner = artwork->mapTo(&view, QPoint(artwork->width() / 2, 4));
  EXPECT_TRUE(pixelIs(image, corner.x(), corner.y(), Palette::surface(Appearance::dark)));
  EXPECT_EQ(child<FittedLabel>("nowPlayingTitle")->palette().color(QPalette::WindowText), Palette::charcoal());
}

}  // namespace
}  // namespace kovali
