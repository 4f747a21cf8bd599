// The party screen fed from a real guest server, wired the way its owner wires it.

#include <QLabel>
#include <gtest/gtest.h>

#include "app/party/party_view.h"
#include "app/party/qr_code_view.h"
#include "server/host_server_fixture.h"
#include "support/fake_artwork_loader.h"
#include "support/qr_decoder.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

class PartyViewServerTest : public HostServerFixture {
 protected:
  PartyViewServerTest() {
    const auto refresh = [this] { view.setSnapshot(PartySnapshot::of(state, *server, 0)); };
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

}  // namespace
}  // namespace kovali
