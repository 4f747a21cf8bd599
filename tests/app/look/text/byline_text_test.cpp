#include "app/look/text/byline_text.h"

#include <gtest/gtest.h>

#include "app/look/symbols/badge_icon.h"
#include "app/look/text/fitted_label.h"

namespace kovali {
namespace {

QStringList texts(const BylineText& byline) {
  QStringList shown;
  for (const auto* label : byline.findChildren<FittedLabel*>()) shown << label->text();
  return shown;
}

TEST(BylineText, ShowsTheBadgeAndItsTitleOnlyWhenAsked) {
  using vinaro::SupporterTier;
  struct Case {
    const char* name;
    std::optional<SupporterTier> badge;
    bool showsTitle;
    QStringList texts;
    QString badgeLabel;  // empty: no badge
  } cases[] = {
      {"no badge", std::nullopt, true, {"Added by Ana"}, {}},
      {"badge without title", SupporterTier::vip, false, {"Added by Ana"}, "VIP Member"},
      {"badge with title", SupporterTier::gold, true, {"Added by Ana", "Gold Member"}, "Gold Member"},
  };
  for (const auto& c : cases) {
    BylineText byline(QStringLiteral("Added by Ana"), c.badge, 16, c.showsTitle);
    EXPECT_EQ(texts(byline), c.texts) << c.name;
    const auto badges = byline.findChildren<BadgeIcon*>();
    if (c.badgeLabel.isEmpty()) {
      EXPECT_TRUE(badges.isEmpty()) << c.name;
    } else {
      ASSERT_EQ(badges.size(), 1) << c.name;
      EXPECT_EQ(badges[0]->accessibleName(), c.badgeLabel) << c.name;
      EXPECT_EQ(badges[0]->size(), QSize(16, 16)) << c.name;
    }
  }
}

TEST(BylineText, ANewContentReplacesOrDropsTheBadge) {
  BylineText byline(QStringLiteral("Ana"), vinaro::SupporterTier::guest, 14, true);
  byline.setContent(QStringLiteral("Ben"), vinaro::SupporterTier::regular);
  EXPECT_EQ(texts(byline), (QStringList{"Ben", "Regular"}));
  ASSERT_EQ(byline.findChildren<BadgeIcon*>().size(), 1);
  EXPECT_EQ(byline.findChildren<BadgeIcon*>()[0]->tier(), vinaro::SupporterTier::regular);

  byline.setContent(QStringLiteral("Cleo"), std::nullopt);
  EXPECT_EQ(texts(byline), QStringList{"Cleo"});
  EXPECT_TRUE(byline.findChildren<BadgeIcon*>().isEmpty());
}

}  // namespace
}  // namespace kovali
