#include "app/look/artwork/artwork_tile.h"

#include <QPalette>
#include <gtest/gtest.h>

#include "app/look/palette.h"
#include "support/fake_artwork_loader.h"
#include "support/manual_scheduler.h"
#include "support/sample_values.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

vinaro::Track withArtwork(const std::string& id) {
  auto track = vinaro::samples::track(id);
  track.artworkURLTemplate = "https://art.example/" + id + "/{w}x{h}bb.jpg";
  return track;
}

QImage solid(const QColor& color) {
  QImage image(64, 32, QImage::Format_ARGB32);  // not square: it must fill the tile anyway
  image.fill(color);
  return image;
}

class ArtworkTileTest : public ::testing::Test {
 protected:
  /// A point of the placeholder's fill, outside the brand mark and inside the rounded corners.
  static constexpr int fillX = 95;
  static constexpr int fillY = 6;

  ManualScheduler scheduler;
  FakeArtworkLoader loader{scheduler};
  ArtworkTile tile{loader, 190, 20, false};
};

TEST_F(ArtworkTileTest, WithoutATrackOrATemplateShowsThePlaceholderAndNeverLoads) {
  tile.setTrack(std::nullopt);
  tile.setTrack(vinaro::samples::track("plain"));
  scheduler.advance(5);

  EXPECT_TRUE(loader.requests.empty());
  EXPECT_FALSE(tile.showsImage());
  const QImage image = grabWidget(tile);
  EXPECT_TRUE(pixelIs(image, fillX, fillY, Qt::white)) << "the light placeholder's fill";
  EXPECT_TRUE(pixelIs(image, 95, 95, Palette::charcoal())) << "the brand mark's spindle";
}

TEST_F(ArtworkTileTest, LoadsTwiceTheSideAndFillsTheTileOnceLoaded) {
  loader.images["https://art.example/a/380x380bb.jpg"] = solid(Qt::red);
  tile.setTrack(withArtwork("a"));

  EXPECT_EQ(loader.requests, std::vector<std::string>{"https://art.example/a/380x380bb.jpg"});
  EXPECT_TRUE(pixelIs(grabWidget(tile), fillX, fillY, Qt::white)) << "the placeholder while loading";
  scheduler.advance(1);
  EXPECT_TRUE(tile.showsImage());
  const QImage image = grabWidget(tile);
  EXPECT_TRUE(pixelIs(image, fillX, fillY, Qt::red));
  EXPECT_TRUE(pixelIs(image, 2, 95, Qt::red)) << "a wide image is cut at the sides, not letterboxed";

  tile.setTrack(withArtwork("a"));
  EXPECT_EQ(loader.requests.size(), 1u) << "the same artwork is not fetched again";
  EXPECT_TRUE(tile.showsImage());
}

TEST_F(ArtworkTileTest, AFailedLoadKeepsThePlaceholder) {
  tile.setTrack(withArtwork("missing"));
  scheduler.advance(1);

  EXPECT_EQ(loader.requests.size(), 1u);
  EXPECT_FALSE(tile.showsImage());
  EXPECT_TRUE(pixelIs(grabWidget(tile), fillX, fillY, Qt::white));
}

TEST_F(ArtworkTileTest, ANewTrackReplacesAPendingLoad) {
  loader.images["https://art.example/a/380x380bb.jpg"] = solid(Qt::red);
  loader.images["https://art.example/b/380x380bb.jpg"] = solid(Qt::blue);
  tile.setTrack(withArtwork("a"));
  scheduler.advance(0.2);
  tile.setTrack(withArtwork("b"));
  scheduler.advance(0.4);  // the first load would have finished here
  EXPECT_FALSE(tile.showsImage());
  scheduler.advance(0.2);
  EXPECT_TRUE(pixelIs(grabWidget(tile), fillX, fillY, Qt::blue));

  tile.setTrack(std::nullopt);
  EXPECT_FALSE(tile.showsImage()) << "no track, no artwork";
}

TEST_F(ArtworkTileTest, ThePlaceholderFollowsTheAppearanceUnlessItIsTheDarkOne) {
  QPalette dark;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  tile.setPalette(dark);
  EXPECT_TRUE(pixelIs(grabWidget(tile), fillX, fillY, Palette::surface(Appearance::dark)));

  ArtworkTile darkPlaceholder(loader, 190, 20, true);
  const QImage image = grabWidget(darkPlaceholder);
  EXPECT_TRUE(pixelIs(image, fillX, fillY, Palette::charcoal()));
  EXPECT_TRUE(pixelIs(image, 95, 95, Palette::orange())) << "the dark brand mark's spindle";
}

}  // namespace
}  // namespace kovali
