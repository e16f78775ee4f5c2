#include "flowchart/model_tree.h"

#include <algorithm>
#include <cstring>
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

ModelNode ModelTree::create(Tag tag, std::initializer_list<Attr> attributes) {
  Element element{tag, static_cast<uint8_t>(attributes.size()), static_cast<int32_t>(attributes_.size())};
  for (Attr attr : attributes) attributes_.push_back(Attribute{attr, std::string()});
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

const std::string* ModelTree::attribute(ModelNode node, Attr attr) const {
  const Element& element = at(node, "attribute");
  for (int32_t i = element.firstAttribute; i < element.firstAttribute + element.attributeCount; ++i)
    if (attributes_[static_cast<size_t>(i)].name == attr) return &attributes_[static_cast<size_t>(i)].value;
  return nullptr;
}

std::string* ModelTree::attribute(ModelNode node, Attr attr) {
  return const_cast<std::string*>(std::as_const(*this).attribute(node, attr));
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
  at(child, "appendChild");
  if (contains(child, parent, true))
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

// Writes into a string through a pointer: the caller makes room for each
// element first, so that no byte pays for a capacity check.
class TextWriter {
 public:
  explicit TextWriter(std::string& out) : out_(out), used_(out.size()) {}
  ~TextWriter() { out_.resize(used_); }

  // Grows the string a step at a time within its capacity, since growing
  // it fills the new bytes.
  char* room(size_t bytes) {
    constexpr size_t kStep = size_t{1} << 18;
    if (out_.size() < used_ + bytes)
      out_.resize(std::max(used_ + bytes, std::min(out_.capacity(), used_ + bytes + kStep)));
    return out_.data() + used_;
  }
  void advance(char* end) { used_ = static_cast<size_t>(end - out_.data()); }

 private:
  std::string& out_;
  size_t used_;
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
  at(element, "writeXml");
  // Room for the longest text the tree could make, taken once: pages of it
  // that are never written cost nothing.
  size_t bound = out.size() + 64;
  for (const Element& e : elements_) bound += 2 * tagName(e.tag).size() + 5;
  for (const Attribute& a : attributes_) bound += attrName(a.name).size() + 4 + a.value.size() * kMaxEscapedBytes;
  out.reserve(bound);
  TextWriter writer(out);
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
      room += 16 + attributes_[static_cast<size_t>(i)].value.size() * kMaxEscapedBytes;
    char* p = writer.room(room);
    *p++ = '<';
    p = put(p, tag);
    for (int32_t i = source.firstAttribute; i < endAttribute; ++i) {
      const Attribute& attribute = attributes_[static_cast<size_t>(i)];
      *p++ = ' ';
      p = put(p, attrName(attribute.name));
      *p++ = '=';
      *p++ = '"';
      p = putEscaped(p, attribute.value);
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
}

}  // namespace flowchart
