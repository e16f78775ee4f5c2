#include "graphviz/graph_heap.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace graphviz {
namespace {

class GraphHeap {
 public:
  // Zeroed, as cgraph expects of its allocator.
  void* allocate(size_t size) {
    size = (size + kAlignment - 1) / kAlignment * kAlignment;
    if (size == 0) size = kAlignment;  // each allocation its own address
    if (size > kBlockBytes / 4) return newBlock(size);
    if (size > left_) {
      next_ = newBlock(kBlockBytes);
      if (next_ == nullptr) return nullptr;
      left_ = kBlockBytes;
    }
    char* given = next_;
    next_ += size;
    left_ -= size;
    return given;
  }

  void* resize(void* old, size_t oldSize, size_t size) {
    if (old == nullptr) return allocate(size);
    if (size <= oldSize) return old;
    void* grown = allocate(size);
    if (grown != nullptr) std::memcpy(grown, old, oldSize);
    return grown;
  }

 private:
  static constexpr size_t kAlignment = alignof(std::max_align_t);
  static constexpr size_t kBlockBytes = 64 * 1024;

  struct Free {
    void operator()(void* block) const { std::free(block); }
  };

  // calloc: zeroed to the last byte, padding too, and aligned for any
  // type.  nullptr when memory is out, as Graphviz's own allocator gives.
  char* newBlock(size_t size) {
    void* block = std::calloc(1, size);
    if (block == nullptr) return nullptr;
    blocks_.emplace_back(block);
    return static_cast<char*>(block);
  }

  std::vector<std::unique_ptr<void, Free>> blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
};

void* openHeap(Agdisc_t*) { return new GraphHeap; }
void* allocate(void* heap, size_t size) { return static_cast<GraphHeap*>(heap)->allocate(size); }
void* resize(void* heap, void* old, size_t oldSize, size_t size) {
  return static_cast<GraphHeap*>(heap)->resize(old, oldSize, size);
}
void release(void*, void*) {}

}  // namespace

Agmemdisc_t graphHeapDiscipline = {openHeap, allocate, resize, release, nullptr};

void closeGraph(Agraph_t* root) {
  auto* heap = static_cast<GraphHeap*>(root->clos->state.mem);
  agclose(root);
  delete heap;
}

}  // namespace graphviz
