#pragma once
// One owner for every kind of handle: keys, files, fonts, icons, zip handles.
#include <utility>

namespace kbt {

// Traits supply: using Type; static Type Invalid(); static bool Close(Type).
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Type value) noexcept : value_(value) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }

  Type Get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

  // Closes the held handle (if any) and takes the new one; reports whether the close succeeded.
  bool Reset(Type value = Traits::Invalid()) noexcept {
    bool closed = true;
    if (value_ != Traits::Invalid()) closed = Traits::Close(value_);
    value_ = value;
    return closed;
  }

  Type Release() noexcept { return std::exchange(value_, Traits::Invalid()); }

 private:
  Type value_ = Traits::Invalid();
};

}  // namespace kbt
