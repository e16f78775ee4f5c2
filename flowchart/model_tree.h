// The blocks model while it is being built: a small element tree of its
// own, with the few element and attribute names a model has.  It behaves
// as the document's elements do (created detached with their attributes,
// appended, removed and moved as children), but it costs a fraction of
// editing the results document itself, which takes in the finished model
// once, complete, as XML text.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "flowchart/xml/document.h"

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

class ModelTree {
 public:
  // A detached element with the attributes, empty, in that order.  An
  // element never gains attributes later.
  ModelNode create(Tag tag, std::initializer_list<Attr> attributes);

  Tag tag(ModelNode node) const;
  // The attribute's value, or nullptr when the element has none.  Valid
  // until the next create.
  const std::string* attribute(ModelNode node, Attr attr) const;
  std::string* attribute(ModelNode node, Attr attr);

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
    std::string value;
  };

  const Element& at(ModelNode node, const char* operation) const;
  Element& at(ModelNode node, const char* operation);
  void detach(int32_t index);

  std::vector<Element> elements_;
  std::vector<Attribute> attributes_;
};

}  // namespace flowchart
