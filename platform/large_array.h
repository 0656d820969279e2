#pragma once

#include <cstddef>
#include <new>
#include <type_traits>

#include <sys/mman.h>

namespace velmora {

// A fixed-size array of trivially copyable elements for tables indexed at
// random (hash tables of millions of slots). Arrays of at least 2 MiB are
// mapped on their own and asked to be backed by huge pages, so that random
// lookups do not also miss the address translation cache on nearly every
// access; where the system gives none, they are ordinary pages.
template <class T>
class TLargeArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  TLargeArray() = default;
  ~TLargeArray() { Release(); }
  TLargeArray(const TLargeArray&) = delete;
  TLargeArray& operator=(const TLargeArray&) = delete;

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T& operator[](std::size_t index) { return data_[index]; }
  const T& operator[](std::size_t index) const { return data_[index]; }

  // Replaces the contents by count copies of value.
  void assign(std::size_t count, const T& value) {
    Release();
    bytes_ = count * sizeof(T);
    if (bytes_ >= kHugePage) {
      void* mapped = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (mapped == MAP_FAILED) throw std::bad_alloc();
      madvise(mapped, bytes_, MADV_HUGEPAGE);  // advice only: without huge pages the array still works
      data_ = static_cast<T*>(mapped);
      mapped_ = true;
    } else {
      data_ = static_cast<T*>(::operator new(bytes_));
    }
    size_ = count;
    for (std::size_t index = 0; index < count; ++index) data_[index] = value;
  }
  void clear() { Release(); }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  void Release() {
    if (data_ != nullptr) {
      if (mapped_) {
        munmap(data_, bytes_);
      } else {
        ::operator delete(data_);
      }
    }
    data_ = nullptr;
    size_ = bytes_ = 0;
    mapped_ = false;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t bytes_ = 0;
  bool mapped_ = false;
};

}  // namespace velmora
