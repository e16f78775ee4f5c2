#include "flowchart/model_tree.h"

#include <utility>

namespace flowchart {

const char* tagName(Tag tag) {
  switch (tag) {
    case Tag::kBlocks: return "blocks";
    case Tag::kBlock: return "block";
    case Tag::kControlflow: return "controlflow";
    case Tag::kSuccessor: return "successor";
    case Tag::kHint: return "hint";
  }
  return "";
}

const char* attrName(Attr attr) {
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

// Attribute values escaped as the document service prints them: the
// quote, ampersand and less-than sign as entities, control bytes as
// two-digit references; a value ends at a NUL byte, as its copy in a
// document does.
void appendEscaped(std::string& out, std::string_view value) {
  value = value.substr(0, value.find('\0'));
  size_t plain = 0;  // start of the run of bytes that need no escape
  for (size_t i = 0; i < value.size(); ++i) {
    const auto byte = static_cast<unsigned char>(value[i]);
    if (byte >= 0x20 && byte != '&' && byte != '<' && byte != '"') continue;
    out.append(value.data() + plain, i - plain);
    plain = i + 1;
    switch (byte) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '"': out += "&quot;"; break;
      default: {
        const char reference[] = {'&', '#', static_cast<char>('0' + byte / 10), static_cast<char>('0' + byte % 10), ';'};
        out.append(reference, sizeof reference);
      }
    }
  }
  out.append(value.data() + plain, value.size() - plain);
}

}  // namespace

void ModelTree::writeXml(ModelNode element, std::string& out) const {
  at(element, "writeXml");
  // About the size of the text, so that it grows once or twice at most.
  out.reserve(out.size() + elements_.size() * 24 + attributes_.size() * 12);
  // Document order with an explicit stack: models nest as deep as the code.
  // A negative entry stands for the end tag of the element it negates.
  std::vector<int32_t> stack{element.index_};
  while (!stack.empty()) {
    const int32_t next = stack.back();
    stack.pop_back();
    if (next < 0) {
      out += "</";
      out += tagName(elements_[static_cast<size_t>(~next)].tag);
      out += '>';
      continue;
    }
    const Element& source = elements_[static_cast<size_t>(next)];
    out += '<';
    out += tagName(source.tag);
    for (int32_t i = source.firstAttribute; i < source.firstAttribute + source.attributeCount; ++i) {
      const Attribute& attribute = attributes_[static_cast<size_t>(i)];
      out += ' ';
      out += attrName(attribute.name);
      out += "=\"";
      appendEscaped(out, attribute.value);
      out += '"';
    }
    if (source.first == kNone) {
      out += "/>";
      continue;
    }
    out += '>';
    stack.push_back(~next);
    // Children pushed last first, so the first is written first.
    for (int32_t child = source.last; child != kNone; child = elements_[static_cast<size_t>(child)].previous)
      stack.push_back(child);
  }
}

}  // namespace flowchart
