#include "model/participant.h"

namespace vinaro {

std::string_view displayName(SupporterTier tier) {
  switch (tier) {
    case SupporterTier::guest: return "Guest";
    case SupporterTier::regular: return "Regular";
    case SupporterTier::gold: return "Gold Member";
    case SupporterTier::vip: return "VIP Member";
  }
  return {};
}

}  // namespace vinaro
