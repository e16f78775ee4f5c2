// The blocks model while it is being built: a small element tree of its
// own, with the few element and attribute names a model has.  It behaves
// as the document's elements do (created detached with their attributes,
// appended, removed and moved as children), but it costs a fraction of
// editing the results document itself, which takes in the finished model
// once, complete, as XML text.
#pragma once

#include <bit>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "xml/document.h"
#include "xml/large_pages.h"

namespace flowchart {

enum class Tag : uint8_t { kBlocks, kBlock, kControlflow, kSuccessor, kHint };
enum class Attr : uint8_t { kId, kType, kSln, kEln, kText, kValue };

std::string_view tagName(Tag tag);
std::string_view attrName(Attr attr);

// A handle to an element of a ModelTree; empty by default.  Calls through
// an empty handle throw xml::Error, as calls through an absent node do.
class ModelNode {
 public:
  ModelNode() = default;
  bool isNull() const { return index_ < 0; }
  explicit operator bool() const { return index_ >= 0; }
  bool operator==(const ModelNode& other) const = default;

 private:
  friend class ModelTree;
  explicit ModelNode(int32_t index) : index_(index) {}
  int32_t index_ = -1;
};

// Storage that grows a block at a time from the large-page arena, so that
// growing never copies and memory is touched once.  For plain structs.
template <typename T>
class BlockVector {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

 public:
  BlockVector() = default;
  BlockVector(const BlockVector&) = delete;
  BlockVector& operator=(const BlockVector&) = delete;
  ~BlockVector() {
    for (T* block : blocks_) xml::freeLargePages(block);
  }

  size_t size() const { return size_; }
  T& operator[](size_t i) { return blocks_[i / kPerBlock][i % kPerBlock]; }
  const T& operator[](size_t i) const { return blocks_[i / kPerBlock][i % kPerBlock]; }
  void push_back(const T& value) {
    if (size_ == blocks_.size() * kPerBlock) {
      void* block = xml::allocateLargePages(kPerBlock * sizeof(T));
      if (!block) throw xml::Error(xml::kOutOfMemory, "model storage");
      blocks_.push_back(static_cast<T*>(block));
    }
    (*this)[size_++] = value;
  }

 private:
  // Under the arena's own-mapping size, so that blocks share its huge pages.
  static constexpr size_t kPerBlock = std::bit_floor((size_t{1} << 19) / sizeof(T));
  std::vector<T*> blocks_;
  size_t size_ = 0;
};

// Attribute values, each stored once where it is set: a new value is
// written anew, which a model's few changes per value can afford.
class TextStore {
 public:
  TextStore() = default;
  TextStore(const TextStore&) = delete;
  TextStore& operator=(const TextStore&) = delete;
  ~TextStore();
  std::string_view store(std::string_view text);

 private:
  static constexpr size_t kBlockBytes = size_t{1} << 18;
  std::vector<char*> blocks_;
  size_t used_ = kBlockBytes;  // in the last block
};

class ModelTree {
 public:
  // A detached element with the attributes, empty, in that order.  An
  // element never gains attributes later.
  ModelNode create(Tag tag, std::initializer_list<Attr> attributes);

  Tag tag(ModelNode node) const;
  bool hasAttribute(ModelNode node, Attr attr) const;
  // The attribute's value; "" when the element has none.  Valid while the
  // tree lives.
  std::string_view attribute(ModelNode node, Attr attr) const;
  // Sets it; an xml::Error when the element has no such attribute.
  void setAttribute(ModelNode node, Attr attr, std::string_view value);

  ModelNode parent(ModelNode node) const;
  ModelNode firstChild(ModelNode node) const;
  ModelNode nextSibling(ModelNode node) const;
  // Whether node is ancestor or lies below it (or is it, when orSelf).
  bool contains(ModelNode ancestor, ModelNode node, bool orSelf) const;

  // Appends child as the last child, taking it from where it was first.
  // Throws xml::Error when child is parent or holds it.
  void appendChild(ModelNode parent, ModelNode child);
  // Detaches a child; throws xml::Error when it is not parent's child.
  void removeChild(ModelNode parent, ModelNode child);

  // Appends the XML text of the element and all it holds to out, byte for
  // byte as a document holding it would print it; parsing the text gives
  // every value back.
  void writeXml(ModelNode element, std::string& out) const;
  // The same text handed to sink a piece at a time.
  void writeXml(ModelNode element, const std::function<void(std::string_view)>& sink) const;

 private:
  static constexpr int32_t kNone = -1;
  struct Element {
    Tag tag;
    uint8_t attributeCount;
    int32_t firstAttribute;
    int32_t parent = kNone, first = kNone, last = kNone, previous = kNone, next = kNone;
  };
  struct Attribute {
    Attr name;
    uint32_t size;
    const char* data;  // in values_
    std::string_view value() const { return std::string_view(data, size); }
  };

  const Element& at(ModelNode node, const char* operation) const;
  Element& at(ModelNode node, const char* operation);
  const Attribute* find(ModelNode node, Attr attr) const;
  void detach(int32_t index);

  BlockVector<Element> elements_;
  BlockVector<Attribute> attributes_;
  TextStore values_;
};

}  // namespace flowchart
