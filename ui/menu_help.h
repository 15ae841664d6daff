// The status-bar help of menu items: the current language table's text for a menu-help
// key, else the English text (empty for keys that have none).
#pragma once
#include <string>
#include <string_view>

namespace nusk {

std::u16string MenuHelpText(std::u16string_view key);

}  // namespace nusk
