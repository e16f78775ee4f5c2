#include "document.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

#include "files/atomic_file.h"
#include "files/file_text.h"
#include "large_pages.h"
#include "files/latin1.h"

namespace xml {
namespace {

constexpr size_t kQueryCacheLimit = 2048;

// Before any document allocates: pugixml frees with the function it
// allocated with.
const bool kDocumentMemoryReady = (useLargePagesForDocuments(), true);
constexpr const char* kHolderName = "detached-nodes";

[[noreturn]] void fail(int32_t code, const std::string& what) { throw Error(code, what); }

std::string toInternal(std::string_view latin1) {
  return files::isAscii(latin1) ? std::string(latin1) : files::latin1ToUtf8(latin1);
}

std::string toExternal(const char* utf8) {
  std::string_view view(utf8);
  return files::isAscii(view) ? std::string(view) : files::utf8ToLatin1(view);
}

// Most values are ASCII, which needs no conversion and no copy.
bool setAttributeValue(pugi::xml_attribute attribute, std::string_view latin1) {
  if (files::isAscii(latin1)) return attribute.set_value(latin1.data(), latin1.size());
  const std::string internal = files::latin1ToUtf8(latin1);
  return attribute.set_value(internal.data(), internal.size());
}

unsigned parseFlags(const LoadOptions& options) {
  // As a fragment, text beside the document element is kept, so that
  // hasOneDocumentElement can refuse it.
  unsigned flags = pugi::parse_default | pugi::parse_fragment;
  if (options.keepAttributeWhitespace) flags &= ~pugi::parse_wconv_attribute;
  return flags;
}

// A well-formed document has one element at the top and no text beside it.
bool hasOneDocumentElement(const pugi::xml_document& doc) {
  int elements = 0;
  for (pugi::xml_node child : doc.children()) {
    switch (child.type()) {
      case pugi::node_element:
        ++elements;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata:
        return false;
      default:
        break;
    }
  }
  return elements == 1;
}

class StringWriter : public pugi::xml_writer {
 public:
  explicit StringWriter(std::string& out) : out_(out) {}
  void write(const void* data, size_t size) override {
    out_.append(static_cast<const char*>(data), size);
  }

 private:
  std::string& out_;
};

class FileWriter : public pugi::xml_writer {
 public:
  explicit FileWriter(files::AtomicFile& file) : file_(file) {}
  void write(const void* data, size_t size) override {
    file_.write(std::string_view(static_cast<const char*>(data), size));
  }

 private:
  files::AtomicFile& file_;
};

void appendText(pugi::xml_node node, std::string& out) {
  // Iterative walk: parse trees can be deeper than the C++ stack allows.
  pugi::xml_node current = node.first_child();
  while (current) {
    if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata)
      out += current.value();
    if (current.first_child()) {
      current = current.first_child();
      continue;
    }
    while (current && current != node && !current.next_sibling()) current = current.parent();
    if (!current || current == node) break;
    current = current.next_sibling();
  }
}

}  // namespace

// ---------------------------------------------------------------- Node

bool Node::isAttribute() const { return static_cast<bool>(attr_); }

bool Node::operator==(const Node& other) const {
  if (doc_ != other.doc_) return false;
  if (isAttribute() != other.isAttribute()) return false;
  if (isAttribute()) {
    return attr_ == other.attr_;
  }
  return node_ == other.node_;
}

void Node::requireNode(const char* operation) const {
  if (isNull()) fail(kPointer, std::string(operation) + " called through an absent node");
}

void Node::requireElementOrDocument(const char* operation) const {
  requireNode(operation);
  if (isAttribute()) fail(kFail, std::string(operation) + " called on an attribute");
}

Document& Node::document() const {
  requireNode("document");
  return *doc_;
}

std::string Node::name() const {
  requireNode("name");
  if (attr_) return toExternal(attr_.name());
  if (node_.type() == pugi::node_document) return "#document";
  return toExternal(node_.name());
}

std::string Node::value() const {
  requireNode("value");
  if (attr_) return toExternal(attr_.value());
  return std::string();
}

std::string Node::text() const {
  requireNode("text");
  if (isAttribute()) return value();
  std::string out;
  appendText(node_, out);
  return toExternal(out.c_str());
}

void Node::setValue(std::string_view value) {
  requireNode("setValue");
  if (!isAttribute()) fail(kFail, "setValue called on an element");
  if (!setAttributeValue(attr_, value)) fail(kOutOfMemory, "setValue");
}

Node Node::selectSingleNode(std::string_view xpath) const {
  requireElementOrDocument("selectSingleNode");
  Document::Query& cached = doc_->query(xpath);
  if (cached.childPath && node_.type() == pugi::node_element) return firstMatch(*cached.childPath);
  const pugi::xpath_query& query = doc_->compiled(xpath, cached);
  const bool mayReachDetached =
      node_.type() == pugi::node_document && doc_->holder_ && doc_->holder_.first_child();
  try {
    if (!mayReachDetached) {
      pugi::xpath_node found = query.evaluate_node(node_);
      if (!found) return Node();
      if (found.attribute()) return Node(doc_, found.parent(), found.attribute());
      return Node(doc_, found.node());
    }
    pugi::xpath_node_set set = query.evaluate_node_set(node_);
    set.sort();
    for (const pugi::xpath_node& found : set) {
      pugi::xml_node owner = found.attribute() ? found.parent() : found.node();
      if (doc_->isDetached(owner)) continue;
      if (found.attribute()) return Node(doc_, found.parent(), found.attribute());
      return Node(doc_, found.node());
    }
    return Node();
  } catch (const pugi::xpath_exception& e) {
    fail(kFail, std::string("XPath evaluation failed: ") + e.what());
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory, "XPath evaluation ran out of memory");
  }
}

NodeList Node::selectNodes(std::string_view xpath) const {
  requireElementOrDocument("selectNodes");
  Document::Query& cached = doc_->query(xpath);
  if (cached.childPath && node_.type() == pugi::node_element) return allMatches(*cached.childPath);
  const pugi::xpath_query& query = doc_->compiled(xpath, cached);
  const bool mayReachDetached =
      node_.type() == pugi::node_document && doc_->holder_ && doc_->holder_.first_child();
  try {
    pugi::xpath_node_set set = query.evaluate_node_set(node_);
    set.sort();  // pugixml returns unions in evaluation order
    NodeList result;
    result.reserve(set.size());
    for (const pugi::xpath_node& found : set) {
      if (found.attribute()) {
        if (mayReachDetached && doc_->isDetached(found.parent())) continue;
        result.push_back(Node(doc_, found.parent(), found.attribute()));
      } else {
        if (mayReachDetached && doc_->isDetached(found.node())) continue;
        result.push_back(Node(doc_, found.node()));
      }
    }
    return result;
  } catch (const pugi::xpath_exception& e) {
    fail(kFail, std::string("XPath evaluation failed: ") + e.what());
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory, "XPath evaluation ran out of memory");
  }
}

size_t Node::countNodes(std::string_view xpath) const {
  requireElementOrDocument("countNodes");
  Document::Query& cached = doc_->query(xpath);
  if (cached.childPath && node_.type() == pugi::node_element) return matchCount(*cached.childPath);
  const bool mayReachDetached =
      node_.type() == pugi::node_document && doc_->holder_ && doc_->holder_.first_child();
  if (mayReachDetached) return selectNodes(xpath).size();
  const pugi::xpath_query& query = doc_->compiled(xpath, cached);
  try {
    return query.evaluate_node_set(node_).size();
  } catch (const pugi::xpath_exception& e) {
    fail(kFail, std::string("XPath evaluation failed: ") + e.what());
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory, "XPath evaluation ran out of memory");
  }
}

Node Node::selectSingleNode(const ChildPath& path) const {
  requireElementOrDocument("selectSingleNode");
  if (node_.type() == pugi::node_element) return firstMatch(path);
  return selectSingleNode(path.text());
}

NodeList Node::selectNodes(const ChildPath& path) const {
  requireElementOrDocument("selectNodes");
  if (node_.type() == pugi::node_element) return allMatches(path);
  return selectNodes(path.text());
}

size_t Node::matchCount(const ChildPath& path) const {
  size_t count = 0;
  path.forEachMatch(node_, [&](pugi::xml_node, pugi::xml_attribute) {
    ++count;
    return true;
  });
  return count;
}

Node Node::firstMatch(const ChildPath& path) const {
  Node first;
  path.forEachMatch(node_, [&](pugi::xml_node owner, pugi::xml_attribute attribute) {
    first = attribute ? Node(doc_, owner, attribute) : Node(doc_, owner);
    return false;
  });
  return first;
}

NodeList Node::allMatches(const ChildPath& path) const {
  NodeList result;
  try {
    path.forEachMatch(node_, [&](pugi::xml_node owner, pugi::xml_attribute attribute) {
      result.push_back(attribute ? Node(doc_, owner, attribute) : Node(doc_, owner));
      return true;
    });
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory, "XPath evaluation ran out of memory");
  }
  return result;
}

Node Node::removeChild(const Node& child) {
  requireElementOrDocument("removeChild");
  child.requireNode("removeChild");
  if (child.doc_ != doc_ || child.isAttribute() || child.node_.parent() != node_)
    fail(kInvalidArg, "removeChild with a node that is not a child");
  // The node stays alive, detached, so that it can be appended again.
  pugi::xml_node moved = doc_->holder().append_move(child.node_);
  if (!moved) fail(kFail, "removeChild failed");
  return Node(doc_, moved);
}

Node Node::parent() const {
  requireNode("parent");
  if (attr_) return Node(doc_, node_);
  pugi::xml_node up = node_.parent();
  if (!up || up == doc_->holder_) return Node();
  return Node(doc_, up);
}

Node Node::appendElement(std::string_view name) {
  requireElementOrDocument("appendElement");
  if (node_.type() != pugi::node_element) fail(kFail, "appendElement needs an element");
  pugi::xml_node created = node_.append_child(toInternal(name).c_str());
  if (!created) fail(kOutOfMemory, "appendElement");
  return Node(doc_, created);
}

Node Node::appendParsed(std::string_view xmlText) {
  requireElementOrDocument("appendParsed");
  if (node_.type() != pugi::node_element) fail(kFail, "appendParsed needs an element");
  pugi::xml_node before = node_.last_child();
  std::string converted;
  if (!files::isAscii(xmlText)) {
    converted = files::latin1ToUtf8(xmlText);
    xmlText = converted;
  }
  pugi::xml_parse_result result;
  try {
    result = node_.append_buffer(xmlText.data(), xmlText.size(), pugi::parse_default, pugi::encoding_utf8);
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory, "appendParsed");
  }
  if (!result) fail(kInvalidArg, std::string("appendParsed: ") + result.description());
  for (pugi::xml_node added = before ? before.next_sibling() : node_.first_child(); added;
       added = added.next_sibling())
    if (added.type() == pugi::node_element) return Node(doc_, added);
  return Node();
}

namespace {

bool isElementNamed(pugi::xml_node node, const char* name) {
  return node.type() == pugi::node_element && (name == nullptr || std::strcmp(node.name(), name) == 0);
}

// Whether UTF-8 text spells the ISO-8859-1 text: each byte from 0x80 is
// two bytes in UTF-8.
bool utf8SpellsLatin1(const char* utf8, std::string_view latin1) {
  const auto* in = reinterpret_cast<const unsigned char*>(utf8);
  for (const char c : latin1) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      if (*in++ != byte) return false;
      continue;
    }
    if (*in++ != (0xC0 | (byte >> 6))) return false;
    if (*in++ != (0x80 | (byte & 0x3F))) return false;
  }
  return *in == 0;
}

}  // namespace

Node Node::firstChildElement(const char* name) const {
  requireNode("firstChildElement");
  if (isAttribute()) return Node();
  for (pugi::xml_node child = node_.first_child(); child; child = child.next_sibling())
    if (isElementNamed(child, name) && child != doc_->holder_) return Node(doc_, child);
  return Node();
}

Node Node::nextSiblingElement(const char* name) const {
  requireNode("nextSiblingElement");
  if (isAttribute()) return Node();
  for (pugi::xml_node next = node_.next_sibling(); next; next = next.next_sibling())
    if (isElementNamed(next, name) && next != doc_->holder_) return Node(doc_, next);
  return Node();
}

NodeList Node::childElements() const {
  NodeList children;
  for (Node child = firstChildElement(); child; child = child.nextSiblingElement()) children.push_back(child);
  return children;
}

bool Node::hasAttribute(const char* name) const {
  requireNode("hasAttribute");
  return !isAttribute() && node_.attribute(name);
}

std::string Node::attributeText(const char* name) const {
  requireNode("attributeText");
  if (isAttribute()) return std::string();
  const pugi::xml_attribute found = node_.attribute(name);
  return found ? toExternal(found.value()) : std::string();
}

bool Node::attributeEquals(const char* name, std::string_view value) const {
  requireNode("attributeEquals");
  if (isAttribute()) return false;
  const pugi::xml_attribute found = node_.attribute(name);
  return found && utf8SpellsLatin1(found.value(), value);
}

Node Node::attributeNamed(const char* name) const {
  requireNode("attributeNamed");
  if (isAttribute() || node_.type() != pugi::node_element) return Node();
  pugi::xml_attribute found = node_.attribute(name);
  return found ? Node(doc_, node_, found) : Node();
}

namespace {

bool elementHasAttribute(pugi::xml_node node, const char* name) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
    if (std::strcmp(a.name(), name) == 0) return true;
  return false;
}

}  // namespace

Node Node::firstWithAttribute(const char* name) const {
  requireNode("firstWithAttribute");
  if (isAttribute()) return Node();
  pugi::xml_node found = firstElementWhere([&](pugi::xml_node element) { return elementHasAttribute(element, name); });
  return found ? Node(doc_, found) : Node();
}

Node Node::lastWithAttribute(const char* name, bool includeSelf) const {
  requireNode("lastWithAttribute");
  if (isAttribute()) return Node();
  auto visible = [&](pugi::xml_node n) { return n.type() == pugi::node_element && n != doc_->holder_; };
  auto lastVisibleChild = [&](pugi::xml_node n) {
    pugi::xml_node child = n.last_child();
    while (child && !visible(child)) child = child.previous_sibling();
    return child;
  };
  // Document order backwards: each node after the subtrees of its
  // children, last child first.
  auto deepestLast = [&](pugi::xml_node n) {
    while (pugi::xml_node child = lastVisibleChild(n)) n = child;
    return n;
  };
  pugi::xml_node current = deepestLast(node_);
  while (current != node_) {
    if (elementHasAttribute(current, name)) return Node(doc_, current);
    pugi::xml_node previous = current.previous_sibling();
    while (previous && !visible(previous)) previous = previous.previous_sibling();
    current = previous ? deepestLast(previous) : current.parent();
  }
  if (includeSelf && node_.type() == pugi::node_element && elementHasAttribute(node_, name)) return Node(doc_, node_);
  return Node();
}

// ---------------------------------------------------------------- Document

Document::Document() = default;
Document::~Document() = default;

std::unique_ptr<Document> Document::loadText(std::string_view text, LoadOptions options) {
  try {
    auto doc = std::make_unique<Document>();
    // Pure ASCII reads the same in every encoding the engine meets; telling
    // pugixml so spares a converted copy of large trees.
    const pugi::xml_encoding encoding = files::isAscii(text) ? pugi::encoding_utf8 : pugi::encoding_auto;
    pugi::xml_parse_result result =
        doc->doc_.load_buffer(text.data(), text.size(), parseFlags(options), encoding);
    if (!result || !hasOneDocumentElement(doc->doc_)) return nullptr;
    return doc;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<Document> Document::build(const std::function<bool(pugi::xml_node document)>& fill) {
  try {
    auto doc = std::make_unique<Document>();
    if (!fill(doc->doc_) || !hasOneDocumentElement(doc->doc_)) return nullptr;
    return doc;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<Document> Document::loadOwnedText(std::string text, LoadOptions options) {
  try {
    auto doc = std::make_unique<Document>();
    const pugi::xml_encoding encoding = files::isAscii(text) ? pugi::encoding_utf8 : pugi::encoding_auto;
    doc->buffer_ = std::move(text);
    pugi::xml_parse_result result = doc->doc_.load_buffer_inplace(
        doc->buffer_.data(), doc->buffer_.size(), parseFlags(options), encoding);
    if (!result || !hasOneDocumentElement(doc->doc_)) return nullptr;
    return doc;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<Document> Document::loadFile(const std::string& path, LoadOptions options) {
  try {
    std::optional<std::string> bytes = files::readFileText(path);
    if (!bytes) return nullptr;  // missing, a folder, or a read error
    return loadOwnedText(std::move(*bytes), options);
  } catch (const std::exception&) {
    // Reading a folder or running out of memory: not a usable file.
    return nullptr;
  }
}

std::string Document::toText() const {
  std::string out;
  StringWriter writer(out);
  writeText(writer);
  return out;
}

bool Document::save(const std::string& path) const {
  // Printed straight into the file: a large model is not held twice.
  try {
    files::AtomicFile file(path);
    if (!file.open()) return false;
    FileWriter writer(file);
    writeText(writer);
    return file.commit();
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void Document::writeText(pugi::xml_writer& writer) const {
  static constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";
  writer.write(kDeclaration.data(), kDeclaration.size());
  for (pugi::xml_node child : doc_.children()) {
    if (child == holder_) continue;
    child.print(writer, "", pugi::format_raw, pugi::encoding_latin1);
  }
  writer.write("\n", 1);
}

Node Document::root() { return Node(this, static_cast<pugi::xml_node>(doc_)); }

Node Document::documentElement() {
  for (pugi::xml_node child : doc_.children())
    if (child.type() == pugi::node_element && child != holder_) return Node(this, child);
  return Node();
}

bool Document::empty() const {
  for (pugi::xml_node child : doc_.children())
    if (child != holder_) return false;
  return true;
}

Document::Query& Document::query(std::string_view xpath) {
  auto found = queries_.find(xpath);
  if (found != queries_.end()) return *found->second;
  if (queries_.size() >= kQueryCacheLimit) queries_.clear();
  try {
    auto query = std::make_unique<Query>();
    query->childPath = ChildPath::parse(xpath);
    // Anything else is compiled now, so that a bad text fails at once.
    if (!query->childPath) compiled(xpath, *query);
    return *queries_.emplace(std::string(xpath), std::move(query)).first->second;
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory, "compiling an XPath text ran out of memory");
  }
}

const pugi::xpath_query& Document::compiled(std::string_view xpath, Query& query) {
  if (query.compiled) return *query.compiled;
  try {
    query.compiled = std::make_unique<pugi::xpath_query>(toInternal(xpath).c_str());
    return *query.compiled;
  } catch (const pugi::xpath_exception& e) {
    fail(kFail, "invalid XPath text \"" + std::string(xpath) + "\": " + e.what());
  } catch (const std::bad_alloc&) {
    fail(kOutOfMemory, "compiling an XPath text ran out of memory");
  }
}

pugi::xml_node Document::holder() {
  if (!holder_) {
    holder_ = doc_.append_child(kHolderName);
    if (!holder_) fail(kOutOfMemory, "removeChild");
  }
  return holder_;
}

bool Document::isDetached(pugi::xml_node node) const {
  if (!holder_) return false;
  for (pugi::xml_node up = node; up; up = up.parent())
    if (up == holder_) return true;
  return false;
}

}  // namespace xml
