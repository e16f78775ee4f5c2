#include "large_pages.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>

#include <pugixml.hpp>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace xml {

#if defined(__linux__) && defined(MADV_HUGEPAGE)
namespace {

constexpr size_t kHugePage = size_t{2} << 20;
constexpr size_t kChunkSize = size_t{32} << 20;
constexpr size_t kDirectThreshold = size_t{1} << 20;
constexpr size_t kAlign = 16;

// Every block starts with this header; the caller's memory follows it.
struct alignas(kAlign) BlockHeader {
  struct Chunk* chunk;  // nullptr: a mapping of its own
  size_t mappedSize;    // for a mapping of its own
};

struct Chunk {
  char* base;
  size_t used;
  size_t live;  // blocks not yet freed
};

void* mapAligned(size_t size) {
  // Over-map, then trim, so that the mapping starts on a huge page.
  const size_t padded = size + kHugePage;
  void* raw = mmap(nullptr, padded, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<uintptr_t>(raw);
  const uintptr_t aligned = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
  if (aligned > start) munmap(raw, aligned - start);
  const uintptr_t end = start + padded;
  if (end > aligned + size) munmap(reinterpret_cast<void*>(aligned + size), end - (aligned + size));
  void* result = reinterpret_cast<void*>(aligned);
  madvise(result, size, MADV_HUGEPAGE);
  return result;
}

class Arena {
 public:
  void* allocate(size_t size) {
    const size_t total = (size + sizeof(BlockHeader) + kAlign - 1) & ~(kAlign - 1);
    std::lock_guard<std::mutex> lock(mutex_);
    if (total >= kDirectThreshold) return allocateDirect(total);
    if (!current_ || current_->used + total > kChunkSize) {
      retireCurrent();
      current_ = newChunk();
      if (!current_) return nullptr;
    }
    auto* header = reinterpret_cast<BlockHeader*>(current_->base + current_->used);
    header->chunk = current_;
    header->mappedSize = 0;
    current_->used += total;
    ++current_->live;
    return header + 1;
  }

  void deallocate(void* pointer) {
    if (!pointer) return;
    BlockHeader* header = static_cast<BlockHeader*>(pointer) - 1;
    std::lock_guard<std::mutex> lock(mutex_);
    Chunk* chunk = header->chunk;
    if (!chunk) {
      munmap(header, header->mappedSize);
      return;
    }
    if (--chunk->live != 0) return;
    if (chunk == current_)
      chunk->used = 0;  // reuse it from the start
    else
      release(chunk);
  }

 private:
  void* allocateDirect(size_t total) {
    const size_t mapped = (total + 4095) & ~size_t{4095};
    auto* header = static_cast<BlockHeader*>(mapAligned(mapped));
    if (!header) return nullptr;
    header->chunk = nullptr;
    header->mappedSize = mapped;
    return header + 1;
  }

  Chunk* newChunk() {
    void* base = mapAligned(kChunkSize);
    if (!base) return nullptr;
    Chunk* chunk = static_cast<Chunk*>(std::malloc(sizeof(Chunk)));
    if (!chunk) {
      munmap(base, kChunkSize);
      return nullptr;
    }
    *chunk = Chunk{static_cast<char*>(base), 0, 0};
    return chunk;
  }

  void retireCurrent() {
    if (current_ && current_->live == 0) release(current_);
    current_ = nullptr;
  }

  static void release(Chunk* chunk) {
    munmap(chunk->base, kChunkSize);
    std::free(chunk);
  }

  std::mutex mutex_;
  Chunk* current_ = nullptr;
};

Arena& arena() {
  static Arena instance;
  return instance;
}

void* allocateForDocuments(size_t size) { return arena().allocate(size); }
void deallocateForDocuments(void* pointer) { arena().deallocate(pointer); }

}  // namespace

void useLargePagesForDocuments() {
  static const bool installed = [] {
    pugi::set_memory_management_functions(allocateForDocuments, deallocateForDocuments);
    return true;
  }();
  (void)installed;
}

void* allocateLargePages(size_t size) { return allocateForDocuments(size); }
void freeLargePages(void* data) { deallocateForDocuments(data); }

void adviseLargePages(void* data, size_t size) {
  const auto start = reinterpret_cast<uintptr_t>(data);
  const uintptr_t first = (start + kHugePage - 1) & ~(uintptr_t{kHugePage} - 1);
  const uintptr_t last = (start + size) & ~(uintptr_t{kHugePage} - 1);
  if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

#else

void useLargePagesForDocuments() {}
void adviseLargePages(void*, size_t) {}
void* allocateLargePages(size_t size) { return std::malloc(size); }
void freeLargePages(void* data) { std::free(data); }

#endif

}  // namespace xml
