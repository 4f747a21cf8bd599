#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/look/artwork/artwork_loader.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

/// Hands out the images a test put in `images`, `delaySeconds` after the request on the given
/// (manual) scheduler; an address without an image fails.
class FakeArtworkLoader final : public ArtworkLoader {
 public:
  explicit FakeArtworkLoader(Scheduler& scheduler) : scheduler_(scheduler) {}

  QCoro::Task<QImage> load(QUrl url, CancellationToken token) override;

  std::map<std::string, QImage> images;
  std::vector<std::string> requests;  // every address asked for, in order
  double delaySeconds = 0.5;

 private:
  Scheduler& scheduler_;
};

}  // namespace kovali
