// Pools for the node classes. Every node size is rounded up to a multiple of 16 bytes
// and served from a free list of that size, refilled from 64 KiB slabs. Freed blocks
// stay in the pool for the next tree; slabs are never given back, so the pool holds as
// much as the largest set of nodes alive at one time.
//
// Each thread has its own free lists, so nothing is locked; a block freed by another
// thread than the one that made it simply joins that thread's list. The lists of a
// thread that ends are not reused.
//
// Under AddressSanitizer nodes use the general heap, so that a node used after its
// destruction is still caught.
#include <cstdint>
#include <mutex>
#include <new>
#include <vector>

#include "varnok/json.h"

#if defined(__SANITIZE_ADDRESS__)
#define VARNOK_JSON_NODE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VARNOK_JSON_NODE_POOL 0
#endif
#endif
#ifndef VARNOK_JSON_NODE_POOL
#define VARNOK_JSON_NODE_POOL 1
#endif

namespace varnok::json {

#if VARNOK_JSON_NODE_POOL

namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kSizeClasses = 8;  // blocks of 16 to 128 bytes
constexpr std::size_t kSlabBytes = 64 * 1024;

struct FreeBlock {
  FreeBlock* next;
};

// Every slab ever made, so that the memory stays reachable for leak checkers.
struct SlabRegistry {
  std::mutex mutex;
  std::vector<void*> slabs;
};

SlabRegistry& Registry() {
  // Never destroyed: nodes of static trees may be freed after static destructors run.
  static SlabRegistry* registry = new SlabRegistry;
  return *registry;
}

// Trivially destructible, so that nodes freed while the thread ends still find it.
struct ThreadPool {
  FreeBlock* freeLists[kSizeClasses];
  char* carve[kSizeClasses];
  char* carveEnd[kSizeClasses];
};

thread_local ThreadPool tPool{};

void* NewSlab() {
  void* slab = ::operator new(kSlabBytes);
  SlabRegistry& registry = Registry();
  const std::lock_guard<std::mutex> lock(registry.mutex);
  registry.slabs.push_back(slab);
  return slab;
}

}  // namespace

void* TJsonBase::operator new(std::size_t size) {
  const std::size_t sizeClass = (size + kGranule - 1) / kGranule - 1;
  if (sizeClass >= kSizeClasses) return ::operator new(size);
  ThreadPool& pool = tPool;
  if (FreeBlock* block = pool.freeLists[sizeClass]) {
    pool.freeLists[sizeClass] = block->next;
    return block;
  }
  const std::size_t blockBytes = (sizeClass + 1) * kGranule;
  if (pool.carve[sizeClass] == nullptr ||
      static_cast<std::size_t>(pool.carveEnd[sizeClass] - pool.carve[sizeClass]) < blockBytes) {
    char* slab = static_cast<char*>(NewSlab());
    pool.carve[sizeClass] = slab;
    pool.carveEnd[sizeClass] = slab + kSlabBytes;
  }
  void* block = pool.carve[sizeClass];
  pool.carve[sizeClass] += blockBytes;
  return block;
}

void TJsonBase::operator delete(void* pointer, std::size_t size) noexcept {
  if (pointer == nullptr) return;
  const std::size_t sizeClass = (size + kGranule - 1) / kGranule - 1;
  if (sizeClass >= kSizeClasses) {
    ::operator delete(pointer);
    return;
  }
  auto* block = static_cast<FreeBlock*>(pointer);
  block->next = tPool.freeLists[sizeClass];
  tPool.freeLists[sizeClass] = block;
}

#else

void* TJsonBase::operator new(std::size_t size) {
  return ::operator new(size);
}

void TJsonBase::operator delete(void* pointer, std::size_t) noexcept {
  ::operator delete(pointer);
}

#endif

}  // namespace varnok::json
