#include "regfile/settings_key_list.h"

namespace kbt {

void SettingsKeyList::Fill() {
  keys_ = {
      u"Software\\Kestrove\\Colors",        u"Software\\Kestrove\\Connection Data",
      u"Software\\Kestrove\\Display",       u"Software\\Kestrove\\Favorites",
      u"Software\\Kestrove\\Filter",        u"Software\\Kestrove\\LocalView",
      u"Software\\Kestrove\\Network",       u"Software\\Kestrove\\ProxySettings",
      u"Software\\Kestrove\\Queue",         u"Software\\Kestrove\\Sounds",
      u"Software\\Kestrove\\Transfer",      u"Software\\Kestrove\\Client\\1.0",
  };
}

}  // namespace kbt
