// CountedPtr: the holder through which sources, slowed versions and waves are shared.
#pragma once

#include <cstdint>
#include <utility>

namespace melvox {

// Shares one heap object through a plain (not atomic) count kept in a separately allocated pair
// {object, count}. The last release deletes the object through its virtual destructor.
//
// Threading: the count is not atomic. The owners of one holder use it from one thread at a time; a
// holder that another thread reads (a source under playback) is only changed after that thread stopped.
template <typename T>
class CountedPtr {
 public:
  CountedPtr() = default;
  // Takes ownership of object; a null object gives an empty holder.
  explicit CountedPtr(T* object) { Adopt(object); }
  CountedPtr(const CountedPtr& other) : pair_(other.pair_) {
    if (pair_ != nullptr) ++pair_->count;
  }
  CountedPtr(CountedPtr&& other) noexcept : pair_(std::exchange(other.pair_, nullptr)) {}
  CountedPtr& operator=(const CountedPtr& other) {
    if (pair_ != other.pair_) {
      Release();
      pair_ = other.pair_;
      if (pair_ != nullptr) ++pair_->count;
    }
    return *this;
  }
  CountedPtr& operator=(CountedPtr&& other) noexcept {
    if (this != &other) {
      Release();
      pair_ = std::exchange(other.pair_, nullptr);
    }
    return *this;
  }
  ~CountedPtr() { Release(); }

  // Releases the object held so far and holds object instead (empty for null).
  void Reset(T* object = nullptr) {
    Release();
    Adopt(object);
  }

  T* Get() const { return pair_ != nullptr ? pair_->object : nullptr; }
  T* operator->() const { return Get(); }
  T& operator*() const { return *Get(); }
  explicit operator bool() const { return Get() != nullptr; }
  int32_t UseCount() const { return pair_ != nullptr ? pair_->count : 0; }

 private:
  struct Pair {
    T* object;
    int32_t count;
  };

  void Adopt(T* object) {
    if (object == nullptr) return;
    try {
      pair_ = new Pair{object, 0};
    } catch (...) {
      delete object;
      throw;
    }
    ++pair_->count;
  }

  void Release() {
    if (pair_ == nullptr) return;
    if (pair_->count != 0) --pair_->count;
    if (pair_->count == 0) {
      delete pair_->object;
      delete pair_;
    }
    pair_ = nullptr;
  }

  Pair* pair_ = nullptr;
};

}  // namespace melvox
