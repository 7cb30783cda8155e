// Storage for one filter object, obtained without throwing so that a creator
// can report the failure itself. The Windows build has no standard library:
// there the runtime's operator new answers null when memory runs out.
#ifndef QUORVANT_PLUGIN_FILTER_STORAGE_H
#define QUORVANT_PLUGIN_FILTER_STORAGE_H

#include <stddef.h>

#if defined(QUORVANT_FREESTANDING)
inline void* operator new(size_t, void* place) noexcept { return place; }
inline void operator delete(void*, void*) noexcept {}
#else
#include <new>
#endif

namespace quorvant {

inline void* obtainFilterStorage(size_t size) {
#if defined(QUORVANT_FREESTANDING)
  return ::operator new(size);
#else
  return ::operator new(size, std::nothrow);
#endif
}

// Gives the storage back unless released: a constructor that raises a
// script error leaves no filter behind.
class FilterStorage {
 public:
  explicit FilterStorage(size_t size) : place(obtainFilterStorage(size)) {}
  ~FilterStorage() { if (place) ::operator delete(place); }
  FilterStorage(const FilterStorage&) = delete;
  FilterStorage& operator=(const FilterStorage&) = delete;

  void* get() const { return place; }
  void release() { place = nullptr; }

 private:
  void* place;
};

}  // namespace quorvant

#endif  // QUORVANT_PLUGIN_FILTER_STORAGE_H
