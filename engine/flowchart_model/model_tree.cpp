#include "engine/flowchart_model/model_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>

namespace flowchart {

std::string_view tagName(Tag tag) {
  switch (tag) {
    case Tag::kBlocks: return "blocks";
    case Tag::kBlock: return "block";
    case Tag::kControlflow: return "controlflow";
    case Tag::kSuccessor: return "successor";
    case Tag::kHint: return "hint";
  }
  return "";
}

std::string_view attrName(Attr attr) {
  switch (attr) {
    case Attr::kId: return "id";
    case Attr::kType: return "type";
    case Attr::kSln: return "sln";
    case Attr::kEln: return "eln";
    case Attr::kText: return "text";
    case Attr::kValue: return "value";
  }
  return "";
}

TextStore::~TextStore() {
  for (char* block : blocks_) xml::freeLargePages(block);
}

std::string_view TextStore::store(std::string_view text) {
  if (text.empty()) return std::string_view();
  // Long texts get a block of their own, so that no block is mostly empty.
  const bool own = text.size() > kBlockBytes / 4;
  if (own || used_ + text.size() > kBlockBytes) {
    void* block = xml::allocateLargePages(own ? text.size() : kBlockBytes);
    if (!block) throw xml::Error(xml::kOutOfMemory, "model text storage");
    if (own) {
      // Kept before the current block, which stays the one being filled.
      blocks_.insert(blocks_.empty() ? blocks_.end() : blocks_.end() - 1, static_cast<char*>(block));
      std::memcpy(block, text.data(), text.size());
      return std::string_view(static_cast<char*>(block), text.size());
    }
    blocks_.push_back(static_cast<char*>(block));
    used_ = 0;
  }
  char* at = blocks_.back() + used_;
  std::memcpy(at, text.data(), text.size());
  used_ += text.size();
  return std::string_view(at, text.size());
}

ModelNode ModelTree::create(Tag tag, std::initializer_list<Attr> attributes) {
  Element element{tag, static_cast<uint8_t>(attributes.size()), static_cast<int32_t>(attributes_.size())};
  for (Attr attr : attributes) attributes_.push_back(Attribute{attr, 0, nullptr});
  elements_.push_back(element);
  return ModelNode(static_cast<int32_t>(elements_.size() - 1));
}

const ModelTree::Element& ModelTree::at(ModelNode node, const char* operation) const {
  if (node.isNull()) throw xml::Error(xml::kPointer, std::string(operation) + " called through an absent node");
  return elements_[static_cast<size_t>(node.index_)];
}

ModelTree::Element& ModelTree::at(ModelNode node, const char* operation) {
  return const_cast<Element&>(std::as_const(*this).at(node, operation));
}

Tag ModelTree::tag(ModelNode node) const { return at(node, "tag").tag; }

const ModelTree::Attribute* ModelTree::find(ModelNode node, Attr attr) const {
  const Element& element = at(node, "attribute");
  for (int32_t i = element.firstAttribute; i < element.firstAttribute + element.attributeCount; ++i)
    if (attributes_[static_cast<size_t>(i)].name == attr) return &attributes_[static_cast<size_t>(i)];
  return nullptr;
}

bool ModelTree::hasAttribute(ModelNode node, Attr attr) const { return find(node, attr) != nullptr; }

std::string_view ModelTree::attribute(ModelNode node, Attr attr) const {
  const Attribute* found = find(node, attr);
  return found ? found->value() : std::string_view();
}

void ModelTree::setAttribute(ModelNode node, Attr attr, std::string_view value) {
  auto* found = const_cast<Attribute*>(find(node, attr));
  if (!found) throw xml::Error(xml::kPointer, "no attribute " + std::string(attrName(attr)));
  if (value == found->value()) return;
  if (value.size() > UINT32_MAX) throw xml::Error(xml::kOutOfMemory, "attribute value too long");
  const std::string_view stored = values_.store(value);
  found->data = stored.data();
  found->size = static_cast<uint32_t>(stored.size());
}

ModelNode ModelTree::parent(ModelNode node) const { return ModelNode(at(node, "parent").parent); }

ModelNode ModelTree::firstChild(ModelNode node) const { return ModelNode(at(node, "firstChild").first); }

ModelNode ModelTree::nextSibling(ModelNode node) const { return ModelNode(at(node, "nextSibling").next); }

bool ModelTree::contains(ModelNode ancestor, ModelNode node, bool orSelf) const {
  if (ancestor.isNull() || node.isNull()) return false;
  if (orSelf && node == ancestor) return true;
  for (int32_t up = elements_[static_cast<size_t>(node.index_)].parent; up != kNone;
       up = elements_[static_cast<size_t>(up)].parent)
    if (up == ancestor.index_) return true;
  return false;
}

void ModelTree::detach(int32_t index) {
  Element& element = elements_[static_cast<size_t>(index)];
  if (element.parent == kNone) return;
  Element& parent = elements_[static_cast<size_t>(element.parent)];
  if (element.previous != kNone) {
    elements_[static_cast<size_t>(element.previous)].next = element.next;
  } else {
    parent.first = element.next;
  }
  if (element.next != kNone) {
    elements_[static_cast<size_t>(element.next)].previous = element.previous;
  } else {
    parent.last = element.previous;
  }
  element.parent = element.previous = element.next = kNone;
}

void ModelTree::appendChild(ModelNode parent, ModelNode child) {
  at(parent, "appendChild");
  // Only an element with children can hold the parent; most are new.
  const bool mayHoldParent = at(child, "appendChild").first != kNone;
  if (child == parent || (mayHoldParent && contains(child, parent, false)))
    throw xml::Error(xml::kFail, "appendChild refused (a node cannot hold its own ancestor)");
  detach(child.index_);
  Element& element = elements_[static_cast<size_t>(child.index_)];
  Element& owner = elements_[static_cast<size_t>(parent.index_)];
  element.parent = parent.index_;
  element.previous = owner.last;
  if (owner.last != kNone) {
    elements_[static_cast<size_t>(owner.last)].next = child.index_;
  } else {
    owner.first = child.index_;
  }
  owner.last = child.index_;
}

void ModelTree::removeChild(ModelNode parent, ModelNode child) {
  at(parent, "removeChild");
  if (at(child, "removeChild").parent != parent.index_)
    throw xml::Error(xml::kInvalidArg, "removeChild with a node that is not a child");
  detach(child.index_);
}

namespace {

// Writes through a pointer into a buffer that is handed on to the sink
// whenever it holds a good part: the caller makes room for each element
// first, so that no byte pays for a capacity check, and a large model is
// never held whole.
class TextWriter {
 public:
  explicit TextWriter(const std::function<void(std::string_view)>& sink) : sink_(sink) {}
  void finish() { sink_(std::string_view(buffer_.data(), used_)); }

  char* room(size_t bytes) {
    if (used_ + bytes > buffer_.size()) buffer_.resize(std::max(used_ + bytes, kHandOn + kHandOn / 4));
    return buffer_.data() + used_;
  }
  void advance(char* end) {
    used_ = static_cast<size_t>(end - buffer_.data());
    if (used_ < kHandOn) return;
    sink_(std::string_view(buffer_.data(), used_));
    used_ = 0;
  }

 private:
  static constexpr size_t kHandOn = size_t{1} << 16;
  const std::function<void(std::string_view)>& sink_;
  std::string buffer_;
  size_t used_ = 0;
};

char* put(char* p, std::string_view text) {
  std::memcpy(p, text.data(), text.size());
  return p + text.size();
}

// Attribute values escaped as the document service prints them: the
// quote, ampersand and less-than sign as entities, control bytes as
// two-digit references; a value ends at a NUL byte, as its copy in a
// document does.  At most six bytes for each byte of the value.
constexpr size_t kMaxEscapedBytes = 6;

char* putEscaped(char* p, std::string_view value) {
  value = value.substr(0, value.find('\0'));
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != '&' && byte != '<' && byte != '"') {
      *p++ = c;
      continue;
    }
    switch (byte) {
      case '&': p = put(p, "&amp;"); break;
      case '<': p = put(p, "&lt;"); break;
      case '"': p = put(p, "&quot;"); break;
      default:
        *p++ = '&';
        *p++ = '#';
        *p++ = static_cast<char>('0' + byte / 10);
        *p++ = static_cast<char>('0' + byte % 10);
        *p++ = ';';
    }
  }
  return p;
}

}  // namespace

void ModelTree::writeXml(ModelNode element, std::string& out) const {
  writeXml(element, [&](std::string_view text) { out += text; });
}

void ModelTree::writeXml(ModelNode element, const std::function<void(std::string_view)>& sink) const {
  at(element, "writeXml");
  TextWriter writer(sink);
  // Document order with an explicit stack: models nest as deep as the code.
  // A negative entry stands for the end tag of the element it negates.
  std::vector<int32_t> stack{element.index_};
  while (!stack.empty()) {
    const int32_t next = stack.back();
    stack.pop_back();
    if (next < 0) {
      const std::string_view tag = tagName(elements_[static_cast<size_t>(~next)].tag);
      char* p = writer.room(tag.size() + 3);
      *p++ = '<';
      *p++ = '/';
      p = put(p, tag);
      *p++ = '>';
      writer.advance(p);
      continue;
    }
    const Element& source = elements_[static_cast<size_t>(next)];
    const std::string_view tag = tagName(source.tag);
    size_t room = tag.size() + 3;
    const int32_t endAttribute = source.firstAttribute + source.attributeCount;
    for (int32_t i = source.firstAttribute; i < endAttribute; ++i)
      room += 16 + attributes_[static_cast<size_t>(i)].size * kMaxEscapedBytes;
    char* p = writer.room(room);
    *p++ = '<';
    p = put(p, tag);
    for (int32_t i = source.firstAttribute; i < endAttribute; ++i) {
      const Attribute& attribute = attributes_[static_cast<size_t>(i)];
      *p++ = ' ';
      p = put(p, attrName(attribute.name));
      *p++ = '=';
      *p++ = '"';
      p = putEscaped(p, attribute.value());
      *p++ = '"';
    }
    if (source.first == kNone) {
      *p++ = '/';
      *p++ = '>';
      writer.advance(p);
      continue;
    }
    *p++ = '>';
    writer.advance(p);
    stack.push_back(~next);
    // Children pushed last first, so the first is written first.
    for (int32_t child = source.last; child != kNone; child = elements_[static_cast<size_t>(child)].previous)
      stack.push_back(child);
  }
  writer.finish();
}

}  // namespace flowchart
