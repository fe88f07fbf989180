// In-memory registry with the behaviour the logic relies on: case-insensitive names that keep their
// own case, index enumeration stable while a key is unchanged, 259 past the end, creation of missing
// intermediate keys, a tree delete, values carried as name, type and bytes.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/registry.h"
#include "platform/posix/substitute_registry.h"

namespace kbt::platform {
namespace {

struct Value {
  Text name;
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

struct Key {
  Text name;
  std::vector<Value> values;
  std::vector<std::shared_ptr<Key>> subKeys;
  bool deleted = false;

  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  // Takes apart the keys that only this one holds with a stack of its own: the default would
  // recurse once per level of a deep tree.
  ~Key() {
    std::vector<std::shared_ptr<Key>> doomed = std::move(subKeys);
    while (!doomed.empty()) {
      std::shared_ptr<Key> key = std::move(doomed.back());
      doomed.pop_back();
      if (key.use_count() == 1) {
        for (auto& child : key->subKeys) doomed.push_back(std::move(child));
        key->subKeys.clear();
      }
    }
  }
};

struct OpenedKey {
  std::shared_ptr<Key> key;
  uint32_t access = 0;
};

std::map<RegRoot, std::shared_ptr<Key>>& Roots() {
  static std::map<RegRoot, std::shared_ptr<Key>> roots;
  return roots;
}
std::map<RegHandle, OpenedKey>& Handles() {
  static std::map<RegHandle, OpenedKey> handles;
  return handles;
}
RegHandle g_nextHandle = 0x1000;

std::shared_ptr<Key> Root(RegRoot root) {
  auto& slot = Roots()[root];
  if (!slot) slot = std::make_shared<Key>();
  return slot;
}

std::vector<Text> Split(const Text& path) {
  std::vector<Text> parts;
  Text part;
  for (char16_t c : path) {
    if (c == u'\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

std::shared_ptr<Key> FindChild(const Key& parent, const Text& name) {
  for (const auto& child : parent.subKeys) {
    if (EqualsIgnoreAsciiCase(child->name, name)) return child;
  }
  return nullptr;
}

Value* FindValue(Key& key, const Text& name) {
  for (auto& value : key.values) {
    if (EqualsIgnoreAsciiCase(value.name, name)) return &value;
  }
  return nullptr;
}

bool ValidRoot(RegRoot root) {
  return root == RegRoot::CurrentUser || root == RegRoot::LocalMachine || root == RegRoot::Users;
}

Status NewHandle(std::shared_ptr<Key> key, uint32_t access, RegHandle* out) {
  const RegHandle handle = g_nextHandle++;
  Handles()[handle] = OpenedKey{std::move(key), access};
  *out = handle;
  return kSuccess;
}

OpenedKey* Lookup(RegHandle handle) {
  auto found = Handles().find(handle);
  return found == Handles().end() ? nullptr : &found->second;
}

constexpr uint32_t kQueryValue = 0x0001, kSetValue = 0x0002, kEnumerate = 0x0008;

}  // namespace

namespace substitute {
void ClearRegistry() { Roots().clear(); }
}  // namespace substitute

Status OpenKey(RegRoot root, const Text& path, uint32_t access, RegHandle* key) {
  *key = 0;
  if (!ValidRoot(root)) return kInvalidData;
  auto node = Root(root);
  for (const Text& part : Split(path)) {
    node = FindChild(*node, part);
    if (!node) return kFileNotFound;
  }
  return NewHandle(node, access, key);
}

Status CreateKey(RegRoot root, const Text& path, uint32_t access, RegHandle* key) {
  *key = 0;
  if (!ValidRoot(root)) return kInvalidData;
  auto node = Root(root);
  for (const Text& part : Split(path)) {
    auto child = FindChild(*node, part);
    if (!child) {
      child = std::make_shared<Key>();
      child->name = part;
      node->subKeys.push_back(child);
    }
    node = child;
  }
  return NewHandle(node, access, key);
}

Status CloseKey(RegHandle key) { return Handles().erase(key) == 1 ? kSuccess : 6 /* invalid handle */; }

Status QueryKeyInfo(RegHandle handle, KeyInfo* info) {
  OpenedKey* open = Lookup(handle);
  if (!open) return 6;
  if (open->key->deleted) return 1018;  // key marked for deletion
  const Key& key = *open->key;
  *info = KeyInfo{};
  info->subKeys = static_cast<uint32_t>(key.subKeys.size());
  for (const auto& child : key.subKeys) {
    info->maxSubKeyLength = std::max<uint32_t>(info->maxSubKeyLength, static_cast<uint32_t>(child->name.size()));
  }
  info->values = static_cast<uint32_t>(key.values.size());
  for (const auto& value : key.values) {
    info->maxValueNameLength = std::max<uint32_t>(info->maxValueNameLength, static_cast<uint32_t>(value.name.size()));
    info->maxValueDataSize = std::max<uint32_t>(info->maxValueDataSize, static_cast<uint32_t>(value.data.size()));
  }
  return kSuccess;
}

Status EnumerateValue(RegHandle handle, uint32_t index, char16_t* name, uint32_t* nameLength, uint32_t* type,
                    uint8_t* data, uint32_t* dataSize) {
  OpenedKey* open = Lookup(handle);
  if (!open) return 6;
  if (!(open->access & kQueryValue)) return kAccessDenied;
  const Key& key = *open->key;
  if (open->key->deleted) return 1018;
  if (index >= key.values.size()) return kNoMoreItems;
  const Value& value = key.values[index];
  if (value.name.size() + 1 > *nameLength) return kMoreData;
  if (data && dataSize && value.data.size() > *dataSize) {
    *dataSize = static_cast<uint32_t>(value.data.size());
    return kMoreData;
  }
  std::copy(value.name.begin(), value.name.end(), name);
  name[value.name.size()] = u'\0';
  *nameLength = static_cast<uint32_t>(value.name.size());
  if (type) *type = value.type;
  if (data && !value.data.empty()) std::memcpy(data, value.data.data(), value.data.size());
  if (dataSize) *dataSize = static_cast<uint32_t>(value.data.size());
  return kSuccess;
}

Status EnumerateKey(RegHandle handle, uint32_t index, char16_t* name, uint32_t* nameLength) {
  OpenedKey* open = Lookup(handle);
  if (!open) return 6;
  if (!(open->access & kEnumerate)) return kAccessDenied;
  const Key& key = *open->key;
  if (open->key->deleted) return 1018;
  if (index >= key.subKeys.size()) return kNoMoreItems;
  const Text& child = key.subKeys[index]->name;
  if (child.size() + 1 > *nameLength) return kMoreData;
  std::copy(child.begin(), child.end(), name);
  name[child.size()] = u'\0';
  *nameLength = static_cast<uint32_t>(child.size());
  return kSuccess;
}

Status QueryValue(RegHandle handle, const Text& name, uint32_t* type, uint8_t* data, uint32_t* size) {
  OpenedKey* open = Lookup(handle);
  if (!open) return 6;
  if (!(open->access & kQueryValue)) return kAccessDenied;
  if (open->key->deleted) return 1018;
  const Value* value = FindValue(*open->key, name);
  if (!value) return kFileNotFound;
  if (type) *type = value->type;
  const uint32_t needed = static_cast<uint32_t>(value->data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return kMoreData;
    }
    if (needed) std::memcpy(data, value->data.data(), needed);
  }
  *size = needed;
  return kSuccess;
}

Status SetValue(RegHandle handle, const Text& name, uint32_t type, const uint8_t* data, uint32_t size) {
  OpenedKey* open = Lookup(handle);
  if (!open) return 6;
  if (!(open->access & kSetValue)) return kAccessDenied;
  if (open->key->deleted) return 1018;
  Value* value = FindValue(*open->key, name);
  if (!value) {
    open->key->values.push_back(Value{name, 0, {}});
    value = &open->key->values.back();
  }
  value->type = type;
  value->data.assign(data, data + (data ? size : 0));
  return kSuccess;
}

Status DeleteValue(RegHandle handle, const Text& name) {
  OpenedKey* open = Lookup(handle);
  if (!open) return 6;
  if (!(open->access & kSetValue)) return kAccessDenied;
  auto& values = open->key->values;
  for (auto it = values.begin(); it != values.end(); ++it) {
    if (EqualsIgnoreAsciiCase(it->name, name)) {
      values.erase(it);
      return kSuccess;
    }
  }
  return kFileNotFound;
}

namespace {
void MarkDeleted(Key& top) {
  std::vector<Key*> pending{&top};
  while (!pending.empty()) {
    Key* key = pending.back();
    pending.pop_back();
    key->deleted = true;
    for (auto& child : key->subKeys) pending.push_back(child.get());
  }
}
}  // namespace

Status DeleteKeyTree(RegRoot root, const Text& path) {
  if (!ValidRoot(root)) return kInvalidData;
  const std::vector<Text> parts = Split(path);
  if (parts.empty()) return kAccessDenied;
  auto parent = Root(root);
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    parent = FindChild(*parent, parts[i]);
    if (!parent) return kFileNotFound;
  }
  auto& children = parent->subKeys;
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (EqualsIgnoreAsciiCase((*it)->name, parts.back())) {
      MarkDeleted(**it);
      children.erase(it);
      return kSuccess;
    }
  }
  return kFileNotFound;
}

Status ExpandEnvironment(const Text& text, Text& expanded) {
  Text out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find(u'%', i);
    if (open == Text::npos) {
      out += text.substr(i);
      break;
    }
    out += text.substr(i, open - i);
    const size_t close = text.find(u'%', open + 1);
    if (close == Text::npos) {
      out += text.substr(open);
      break;
    }
    const Text name = text.substr(open + 1, close - open - 1);
    const char* value = name.empty() ? nullptr : std::getenv(ToUtf8(name).c_str());
    if (value) {
      out += FromUtf8(value);
      i = close + 1;
    } else {
      out += text.substr(open, close - open);
      i = close;  // the closing % may open the next reference
    }
  }
  expanded = out;
  return kSuccess;
}

}  // namespace kbt::platform
