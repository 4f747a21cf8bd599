#pragma once

#include <utility>

namespace kovali {

/// The one shape of an observable property's setter: observers hear of a change only.
///
///   void HostServer::setStatus(Status status) {
///     if (setIfChanged(status_, std::move(status))) emit statusChanged();
///   }
///
/// Assigns `value` to `field` and answers true when they differed; leaves `field` alone and
/// answers false when they were equal.
template <class T, class U>
bool setIfChanged(T& field, U&& value) {
  if (field == value) return false;
  field = std::forward<U>(value);
  return true;
}

}  // namespace kovali
