#include "session/archive/artwork_rebase.h"

#include <gtest/gtest.h>

#include "platform/library/artwork_address.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

namespace samples = vinaro::samples;

TEST(ArtworkRebase, OnlyThisHostsArtMovesToTheNewAddress) {
  struct Case {
    const char* name;
    std::optional<std::string> before;
    std::optional<std::string> after;
  } cases[] = {
      {"ours, old port", "http://party.local:4000/artwork/ab12/{w}x{h}.jpg",
       "http://party.local:5000/artwork/ab12/{w}x{h}.jpg"},
      {"ours, old name", "http://old-name.local:4000/artwork/ab12/{w}x{h}.jpg",
       "http://party.local:5000/artwork/ab12/{w}x{h}.jpg"},
      {"another site", "https://covers.example/ab12/{w}x{h}.jpg", "https://covers.example/ab12/{w}x{h}.jpg"},
      {"a fixed address", "http://party.local:4000/artwork/ab12/64x64.jpg",
       "http://party.local:4000/artwork/ab12/64x64.jpg"},
      {"none", std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    vinaro::SessionState state;
    auto current = samples::queueItem("q0", "t0");
    current.track.artworkURLTemplate = c.before;
    state.playback.current = current;
    auto queued = samples::queueItem("q1", "t1");
    queued.track.artworkURLTemplate = c.before;
    state.queue = {queued};
    auto album = samples::album("al1");
    album.artworkURLTemplate = c.before;
    state.requests = {samples::request("r1", vinaro::RequestItem::collection(album), samples::ben, 1, {})};

    const auto moved = withArtworkAt(state, "http://party.local:5000");
    EXPECT_EQ(moved.playback.current->track.artworkURLTemplate, c.after) << c.name;
    EXPECT_EQ(moved.queue[0].track.artworkURLTemplate, c.after) << c.name;
    EXPECT_EQ(moved.requests[0].item.collectionValue()->artworkURLTemplate, c.after) << c.name;
  }
}

}  // namespace
}  // namespace kovali
