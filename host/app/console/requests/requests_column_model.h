#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/look/symbols/symbol.h"
#include "app/party/party_view_model.h"
#include "model/session_state.h"

namespace kovali {

/// A pending request with its votes, ready to be approved or rejected.
struct RequestCardModel {
  std::string id;                      // the request's
  std::optional<vinaro::Track> track;  // none for an album or playlist
  std::optional<Symbol> collectionSymbol;
  std::string title;
  BylineModel byline;
  std::string votes;

  bool operator==(const RequestCardModel&) const = default;
};

/// A request that was approved or rejected lately.
struct ResolvedRowModel {
  std::string id;
  std::optional<vinaro::Track> track;
  std::string title;
  bool approved = false;
  std::string mark;  // "Added" or "Rejected"

  bool operator==(const ResolvedRowModel&) const = default;
};

/// What the console's requests column shows, in the order the session keeps the requests.
struct RequestsColumnModel {
  static constexpr std::size_t maxResolvedRows = 6;

  std::string title;
  std::optional<std::string> hint;  // only while nothing is pending
  std::vector<RequestCardModel> cards;
  std::optional<std::string> resolvedTitle;  // counts every resolved request
  std::vector<ResolvedRowModel> resolved;    // at most `maxResolvedRows`

  static RequestsColumnModel make(const vinaro::SessionState& state);

  bool operator==(const RequestsColumnModel&) const = default;
};

}  // namespace kovali
