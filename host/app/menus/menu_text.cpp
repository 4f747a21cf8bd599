#include "app/menus/menu_text.h"

namespace kovali {

QString menuText(const std::string& text) { return QString::fromStdString(text).replace(u'&', QStringLiteral("&&")); }

}  // namespace kovali
