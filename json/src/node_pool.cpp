// Memory for the node classes. A reply can hold millions of values, and a block of the
// general heap costs a header of its own and stays with the process after it is freed.
// So nodes live in 64 KiB slabs, each serving one block size (16 to 128 bytes in steps
// of 16) with no header per block. A slab whose last node is freed goes back to the
// system at once, except a few kept for the next tree, so that a program that parses a
// huge reply returns to its earlier size as soon as the tree is gone.
//
// One pool serves every thread behind one lock: the library keeps nothing per thread,
// and a tree may be made on one thread and destroyed on another.
//
// Under AddressSanitizer nodes use the general heap, so that a node used after its
// destruction is still caught.
#include <cstdint>
#include <mutex>
#include <new>

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

#if VARNOK_JSON_NODE_POOL
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <atomic>

#include "internal.h"

namespace varnok::json {

#if VARNOK_JSON_NODE_POOL

namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kSizeClasses = 8;  // blocks of 16 to 128 bytes
constexpr std::size_t kSlabBytes = 64 * 1024;
// Empty slabs kept for the next tree instead of being mapped again: 256 KiB at most.
constexpr int kSpareSlabs = 4;

// ---- Pages from the system ------------------------------------------------------------

// A region of kSlabBytes aligned to kSlabBytes, straight from the system, so that it
// goes back to the system when released (the general heap keeps small freed blocks).
// The alignment lets a block find its slab by masking its address.
void* MapSlab() {
  constexpr std::size_t span = 2 * kSlabBytes;
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) throw std::bad_alloc();
  const auto start = reinterpret_cast<std::uintptr_t>(mapped);
  const std::uintptr_t aligned = (start + kSlabBytes - 1) & ~(std::uintptr_t{kSlabBytes} - 1);
  if (aligned > start) munmap(mapped, aligned - start);
  const std::uintptr_t end = start + span;
  if (end > aligned + kSlabBytes) {
    munmap(reinterpret_cast<void*>(aligned + kSlabBytes), end - aligned - kSlabBytes);
  }
  return reinterpret_cast<void*>(aligned);
}

// Slab memory given back since the general heap was last trimmed.
std::atomic<std::size_t> gReleasedSinceTrim{0};

void UnmapSlab(void* slab) noexcept {
  munmap(slab, kSlabBytes);
  gReleasedSinceTrim.fetch_add(kSlabBytes, std::memory_order_relaxed);
}

// Gives the free pages of the general heap back to the system. glibc keeps freed small
// blocks for reuse and returns only the top of the heap by itself.
void TrimGeneralHeap() noexcept {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}

// ---- Slabs ------------------------------------------------------------------------------

struct FreeBlock {
  FreeBlock* next;
};

// The head of every slab. Blocks follow it, from kFirstBlock to the end of the slab.
struct Slab {
  Slab* prev;
  Slab* next;
  FreeBlock* freeList;
  char* carve;  // the first block never handed out
  std::uint32_t live;
  std::uint32_t blockBytes;
  bool listed;  // in its size's list of slabs with room
};

constexpr std::size_t kFirstBlock = 64;
static_assert(sizeof(Slab) <= kFirstBlock);

struct Pool {
  std::mutex mutex;
  Slab* withRoom[kSizeClasses] = {};
  Slab* spare = nullptr;  // empty slabs, linked through next
  int spareCount = 0;
};

Pool& ThePool() {
  // Never destroyed: nodes of static trees may be freed after static destructors run.
  static Pool* pool = new Pool;
  return *pool;
}

Slab* SlabOf(void* block) noexcept {
  return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) &
                                 ~(std::uintptr_t{kSlabBytes} - 1));
}

bool IsFull(const Slab& slab) noexcept {
  return slab.freeList == nullptr &&
         reinterpret_cast<const char*>(&slab) + kSlabBytes - slab.carve < slab.blockBytes;
}

void Link(Pool& pool, std::size_t sizeClass, Slab* slab) noexcept {
  slab->prev = nullptr;
  slab->next = pool.withRoom[sizeClass];
  if (slab->next != nullptr) slab->next->prev = slab;
  pool.withRoom[sizeClass] = slab;
  slab->listed = true;
}

void Unlink(Pool& pool, std::size_t sizeClass, Slab* slab) noexcept {
  if (slab->prev != nullptr) {
    slab->prev->next = slab->next;
  } else {
    pool.withRoom[sizeClass] = slab->next;
  }
  if (slab->next != nullptr) slab->next->prev = slab->prev;
  slab->listed = false;
}

Slab* NewSlab(Pool& pool, std::size_t sizeClass) {
  void* memory = nullptr;
  if (pool.spare != nullptr) {
    memory = pool.spare;
    pool.spare = pool.spare->next;
    --pool.spareCount;
  } else {
    memory = MapSlab();
  }
  auto* slab = static_cast<Slab*>(memory);
  slab->freeList = nullptr;
  slab->carve = static_cast<char*>(memory) + kFirstBlock;
  slab->live = 0;
  slab->blockBytes = static_cast<std::uint32_t>((sizeClass + 1) * kGranule);
  Link(pool, sizeClass, slab);
  return slab;
}

void RetireSlab(Pool& pool, Slab* slab) noexcept {
  if (pool.spareCount < kSpareSlabs) {
    slab->next = pool.spare;
    pool.spare = slab;
    ++pool.spareCount;
    return;
  }
  UnmapSlab(slab);
}

}  // namespace

void* TJsonBase::operator new(std::size_t size) {
  const std::size_t sizeClass = (size + kGranule - 1) / kGranule - 1;
  if (sizeClass >= kSizeClasses) return ::operator new(size);
  Pool& pool = ThePool();
  const std::lock_guard<std::mutex> lock(pool.mutex);
  Slab* slab = pool.withRoom[sizeClass];
  if (slab == nullptr) slab = NewSlab(pool, sizeClass);
  void* block = nullptr;
  if (FreeBlock* free = slab->freeList) {
    slab->freeList = free->next;
    block = free;
  } else {
    block = slab->carve;
    slab->carve += slab->blockBytes;
  }
  ++slab->live;
  if (IsFull(*slab)) Unlink(pool, sizeClass, slab);
  return block;
}

void TJsonBase::operator delete(void* pointer, std::size_t size) noexcept {
  if (pointer == nullptr) return;
  const std::size_t sizeClass = (size + kGranule - 1) / kGranule - 1;
  if (sizeClass >= kSizeClasses) {
    ::operator delete(pointer);
    return;
  }
  Pool& pool = ThePool();
  Slab* slab = SlabOf(pointer);
  const std::lock_guard<std::mutex> lock(pool.mutex);
  auto* block = static_cast<FreeBlock*>(pointer);
  block->next = slab->freeList;
  slab->freeList = block;
  if (--slab->live == 0) {
    if (slab->listed) Unlink(pool, sizeClass, slab);
    RetireSlab(pool, slab);
  } else if (!slab->listed) {
    Link(pool, sizeClass, slab);
  }
}

namespace detail {

void TreeReleased() noexcept {
  // Trimming costs milliseconds, so it waits until 4 MiB of slabs are gone: what a
  // smaller tree leaves in the heap is a few megabytes at most, and the heap reuses it
  // for the next tree.
  constexpr std::size_t kWorthTrimming = std::size_t{4} << 20;
  if (gReleasedSinceTrim.load(std::memory_order_relaxed) < kWorthTrimming) return;
  gReleasedSinceTrim.store(0, std::memory_order_relaxed);
  TrimGeneralHeap();
}

}  // namespace detail

#else

namespace detail {

// The general heap serves the nodes here, and a sanitizer's heap keeps freed memory in
// quarantine anyway.
void TreeReleased() noexcept {}

}  // namespace detail

void* TJsonBase::operator new(std::size_t size) {
  return ::operator new(size);
}

void TJsonBase::operator delete(void* pointer, std::size_t) noexcept {
  ::operator delete(pointer);
}

#endif

}  // namespace varnok::json
