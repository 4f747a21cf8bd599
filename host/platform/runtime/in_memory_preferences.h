#pragma once

#include <QHash>

#include "platform/runtime/preferences.h"

namespace kovali {

/// Preferences that live as long as the object: for tests, and values keep their exact type.
class InMemoryPreferences final : public Preferences {
 public:
  QVariant value(const QString& key) const override { return values_.value(key); }
  void setValue(const QString& key, const QVariant& value) override { values_.insert(key, value); }
  void remove(const QString& key) override { values_.remove(key); }

 private:
  QHash<QString, QVariant> values_;
};

}  // namespace kovali
