#pragma once
// A client profile for the wizard tests: a data folder and a favorites folder named in the
// registry, and a folder for backups, all removed again with the client's key.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "res/non_localizable.h"
#include "support/test_support.h"
#include "ui/wizard_driver.h"

namespace kbt::testing {

inline std::wstring Wide(const Text& text) { return std::wstring(reinterpret_cast<const wchar_t*>(text.c_str())); }
inline Text Narrow(const std::wstring& text) { return Text(reinterpret_cast<const char16_t*>(text.c_str())); }


class WizardTest : public ClientRegistryTest {
 protected:
  void SetUp() override {
    ClientRegistryTest::SetUp();
    SeedString(names::kClientKey, names::kDataPathValue, data.Path(), platform::kRegExpandSz);
    SeedString(names::kClientKey, names::kFavoritesFolderValue, favorites.Path(), platform::kRegExpandSz);
  }

  ScratchFolder data;
  ScratchFolder favorites;
  // Backups go apart from the client's folders, which never take one.
  ScratchFolder backups;
};

}  // namespace kbt::testing
