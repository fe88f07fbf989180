#include "operations/client/client_items.h"

namespace kbt {

bool IsFixedEntryName(const Text& name) {
  if (EqualsIgnoreAsciiCase(name, names::kSettingsFile)) return true;
  for (const ClientItem& item : kClientItems) {
    if (item.fileName && EqualsIgnoreAsciiCase(name, item.fileName)) return true;
  }
  return false;
}

}  // namespace kbt
