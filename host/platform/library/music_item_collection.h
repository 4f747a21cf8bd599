#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <qcoro/qcorotask.h>

#include "protocol/expected.h"

namespace kovali {

/// Why a catalogue request failed: a sentence for people, passed on unchanged.
struct MusicError {
  std::string description;

  bool operator==(const MusicError&) const = default;
};

/// The outcome of a catalogue request.
template <class T>
using MusicResult = vinaro::Expected<T, MusicError>;

/// One batch of a possibly longer list of catalogue items. Further batches are fetched one at a
/// time, on demand, so a caller that has enough stops paying for the rest.
template <class Item>
class MusicItemCollection {
 public:
  using Batch = MusicResult<std::optional<MusicItemCollection>>;
  using NextBatchLoader = std::function<QCoro::Task<Batch>()>;

  MusicItemCollection() = default;
  explicit MusicItemCollection(std::vector<Item> batchItems, NextBatchLoader next = {})
      : items(std::move(batchItems)), next_(std::move(next)) {}

  std::vector<Item> items;

  bool hasNextBatch() const { return static_cast<bool>(next_); }

  /// The batch after this one; nothing when there is none.
  QCoro::Task<Batch> nextBatch() const {
    if (!next_) co_return Batch(std::optional<MusicItemCollection>());
    // A copy, so the loader outlives this collection while it runs.
    const NextBatchLoader next = next_;
    co_return co_await next();
  }

 private:
  NextBatchLoader next_;
};

}  // namespace kovali
