// The party screen fed from a real guest server, wired the way its owner wires it.

#include <QDir>
#include <QLabel>
#include <gtest/gtest.h>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/artwork/network_artwork_loader.h"
#include "app/party/party_view.h"
#include "app/party/qr_code_view.h"
#include "app/shell/services/loopback_artwork_loader.h"
#include "server/host_server_fixture.h"
#include "support/fake_artwork_loader.h"
#include "platform/library/artwork_address.h"
#include "support/qr_decoder.h"
#include "support/sample_values.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

class PartyViewServerTest : public HostServerFixture {
 protected:
  PartyViewServerTest() {
    const auto refresh = [this] {
      view.setSnapshot(PartySnapshot::of(std::make_shared<const vinaro::SessionState>(state), *server, 0));
    };
    QObject::connect(server.get(), &HostServer::statusChanged, &view, refresh);
    QObject::connect(server.get(), &HostServer::advertisedNameChanged, &view, refresh);
    refresh();
  }

  QString networkStatus() const { return view.findChild<QLabel*>(QStringLiteral("networkStatus"))->text(); }
  bool showsCode() const { return view.findChild<QRCodeView*>()->isVisible(); }

  vinaro::SessionState state = vinaro::SessionState::newParty("SESSION-1", "Friday");
  FakeArtworkLoader loader{scheduler};
  PartyView view{scheduler, loader};
};

TEST_F(PartyViewServerTest, FollowsTheServerFromStoppedToAdvertisedAndBack) {
  renderWidget(view, QSize(1260, 760));
  EXPECT_FALSE(showsCode());
  EXPECT_EQ(networkStatus(), QStringLiteral("Not advertising"));

  server->setServiceName("Zoé's Mac");
  server->start();
  EXPECT_EQ(networkStatus(), QStringLiteral("Starting\u2026"));

  advertiser->confirmRegistration("Zoé's Mac (2)");
  ASSERT_TRUE(showsCode());
  const vinaro::JoinLink link{"Zoé's Mac (2)", "SESSION-1"};
  EXPECT_EQ(decodeQRCodes(grabWidget(view)), std::vector<std::string>{link.url()});

  server->stop();
  EXPECT_FALSE(showsCode()) << "the code goes with the advertised name";
  EXPECT_EQ(networkStatus(), QStringLiteral("Not advertising"));
}

/// A computer where no name resolves: only numeric addresses are fetched.
class AddressOnlyLoader final : public ArtworkLoader {
 public:
  QCoro::Task<QImage> load(QUrl url, CancellationToken token) override {
    if (!QHostAddress(url.host()).isNull()) return network.load(std::move(url), std::move(token));
    unresolved << url.host();
    return noImage();
  }

  static QCoro::Task<QImage> noImage() { co_return QImage(); }

  NetworkArtworkLoader network;
  QStringList unresolved;
};

TEST_F(PartyViewServerTest, TheNowPlayingTileShowsTheCoverServedOnTheGuestsPortWhateverItsName) {
  server->setArtworkLookup([](const std::string& id) -> std::function<QImage()> {
    if (id != "c0ffee") return {};
    return [] {
      QImage cover(400, 400, QImage::Format_RGB32);
      cover.fill(QColor(220, 30, 30));
      return cover;
    };
  });
  startReady();
  AddressOnlyLoader network;
  LoopbackArtworkLoader windows(network, *server);
  for (const char* name : {"127.0.0.1", "kovali-unresolvable.invalid"}) {
    server->setHTTPHostName(name);
    auto current = vinaro::samples::queueItem("q1", "t1");
    current.track.artworkURLTemplate = *server->artworkAddress() + localArtworkTemplate("c0ffee");
    state.playback.current = current;

    PartyView shown{scheduler, windows};
    shown.setSnapshot(PartySnapshot::of(std::make_shared<const vinaro::SessionState>(state), *server, 0));
    renderWidget(shown, QSize(1260, 760));
    ArtworkTile* tile = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          for (auto* candidate : shown.findChildren<ArtworkTile*>()) {
            if (candidate->showsImage()) tile = candidate;
          }
          return tile != nullptr;
        },
        10000))
        << name;
    const QImage rendered = grabWidget(shown);
    QDir().mkpath(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR));
    EXPECT_TRUE(rendered.save(QStringLiteral(KOVALI_TEST_ARTIFACTS_DIR "/party_view_local_cover.png")));
    const QPoint center = tile->mapTo(&shown, tile->rect().center());
    EXPECT_TRUE(pixelIs(rendered, center.x(), center.y(), QColor(220, 30, 30), 16)) << name;
  }
  EXPECT_TRUE(network.unresolved.isEmpty()) << "the window asked for " << network.unresolved.join(' ').toStdString();
}

}  // namespace
}  // namespace kovali
