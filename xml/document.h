// The XML document service: a small DOM with XPath 1.0 over pugixml.
//
// Text crosses this interface as ISO-8859-1 bytes, the engine's character
// set; pugixml keeps UTF-8 inside and the conversion happens here.
// A failed call (a call through an absent node, an XPath text that does not
// compile, a node from another document, ...) throws xml::Error with a
// result code; callers let it end their operation.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "child_path.h"

namespace xml {

// Result codes carried by Error, with the values callers know them by.
enum ResultCode : int32_t {
  kPointer = static_cast<int32_t>(0x80004003),      // call through an absent node
  kFail = static_cast<int32_t>(0x80004005),         // unspecified failure
  kInvalidArg = static_cast<int32_t>(0x80070057),   // bad argument (XPath text, foreign node)
  kOutOfMemory = static_cast<int32_t>(0x8007000E),  // allocation failed
};

class Error : public std::runtime_error {
 public:
  Error(int32_t code, const std::string& what) : std::runtime_error(what), code_(code) {}
  int32_t code() const { return code_; }

 private:
  int32_t code_;
};

class Document;
class Node;
using NodeList = std::vector<Node>;

struct LoadOptions {
  // Keep line feeds, carriage returns and tabs in attribute values instead
  // of turning each into a blank (the standard attribute normalisation).
  bool keepAttributeWhitespace = false;
};

// A handle to an element, an attribute or the document node; empty when a
// query found nothing.  Handles are cheap values and stay valid while their
// document lives, also across removeChild.
class Node {
 public:
  Node() = default;

  bool isNull() const { return doc_ == nullptr; }
  explicit operator bool() const { return !isNull(); }
  bool isAttribute() const;
  bool operator==(const Node& other) const;
  bool operator!=(const Node& other) const { return !(*this == other); }

  std::string name() const;
  // Element: concatenated descendant text; attribute: its value.
  std::string text() const;
  std::string value() const;  // attribute value
  void setValue(std::string_view value);

  // First match in document order, or an empty node.
  Node selectSingleNode(std::string_view xpath) const;
  // All matches in document order.
  NodeList selectNodes(std::string_view xpath) const;
  // Number of matches, without making handles.
  size_t countNodes(std::string_view xpath) const;
  // The same for a child path the caller keeps, which spares looking the
  // text up; from the document node it is evaluated as its XPath text.
  Node selectSingleNode(const ChildPath& path) const;
  NodeList selectNodes(const ChildPath& path) const;

  // Detaches a child: it is no longer found from the document, and its
  // handle stays valid.
  Node removeChild(const Node& child);
  Node parent() const;
  // A new empty element appended as the last child.
  Node appendElement(std::string_view name);
  // Parses XML text (elements, no declaration) and appends what it holds
  // as the last children; returns the first element appended.  The text
  // is ISO-8859-1.  Fails when it does not parse.
  Node appendParsed(std::string_view xmlText);

  // One of an element's attributes by name, or an empty node: what "@name"
  // finds, without evaluating it.
  Node attributeNamed(const char* name) const;
  // The first element in document order, from this node down, that has
  // the attribute ("descendant-or-self::*[@name]"); and the last one below
  // it, itself included when includeSelf ("descendant::*[@name][last()]").
  // Empty nodes when there is none.  Each walks only as far as it must.
  Node firstWithAttribute(const char* name) const;
  Node lastWithAttribute(const char* name, bool includeSelf) const;
  // The first element in document order, from this node down, named
  // first or second and for which test(element) holds; empty when none.
  // A walk that looks at other elements' names only.
  template <typename Test>
  Node firstElementNamed(const char* first, const char* second, Test&& test) const;

  // Walks over an element's element children for readers that visit
  // every statement of a large tree: no XPath, nothing copied.  A null
  // name matches any element.  From an attribute they find nothing.
  Node firstChildElement(const char* name = nullptr) const;
  Node nextSiblingElement(const char* name = nullptr) const;
  // The element children in document order.
  NodeList childElements() const;
  // An element's attribute by name: whether it is there, its value as
  // ISO-8859-1 text (empty when absent), and whether it is there with the
  // given ISO-8859-1 value, compared without copying.
  bool hasAttribute(const char* name) const;
  std::string attributeText(const char* name) const;
  bool attributeEquals(const char* name, std::string_view value) const;

  Document& document() const;

 private:
  friend class Document;
  Node(Document* doc, pugi::xml_node node) : doc_(doc), node_(node) {}
  Node(Document* doc, pugi::xml_node owner, pugi::xml_attribute attr)
      : doc_(doc), node_(owner), attr_(attr) {}

  // The first element from this node down, in document order, for which
  // test(raw element) holds; detached nodes are never reached.
  template <typename Test>
  pugi::xml_node firstElementWhere(Test&& test) const;
  // Child paths walked from an element.
  Node firstMatch(const ChildPath& path) const;
  NodeList allMatches(const ChildPath& path) const;
  size_t matchCount(const ChildPath& path) const;
  void requireNode(const char* operation) const;
  void requireElementOrDocument(const char* operation) const;

  Document* doc_ = nullptr;
  pugi::xml_node node_;
  pugi::xml_attribute attr_;
};

class Document {
 public:
  Document();
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Loads a file; nullptr when it cannot be read or is not well-formed XML
  // with exactly one document element.  The encoding comes from the
  // declaration (ISO-8859-1 and UTF-8 both work; UTF-8 without one).
  static std::unique_ptr<Document> loadFile(const std::string& path, LoadOptions options = {});
  // Parses text held in memory; nullptr when it does not parse.
  static std::unique_ptr<Document> loadText(std::string_view text, LoadOptions options = {});
  // The same, parsing in place: the document keeps the text, so a large
  // tree is not held twice while it loads.
  static std::unique_ptr<Document> loadOwnedText(std::string text, LoadOptions options = {});
  // A document built by fill with pugixml's own calls below the document
  // node it is handed, values in UTF-8 as pugixml keeps them; nullptr when
  // fill returns false, the result is not one element, or memory runs out.
  static std::unique_ptr<Document> build(const std::function<bool(pugi::xml_node document)>& fill);

  // Writes the document as ISO-8859-1 with its declaration, through a
  // temporary file renamed over the target.  False when it cannot be written;
  // the old file is then left as it was.
  bool save(const std::string& path) const;
  // The same text as save() writes.
  std::string toText() const;

  Node root();             // the document node, context of "//..." queries
  Node documentElement();  // empty for a document holding nothing
  bool empty() const;


 private:
  friend class Node;
  // A query text as the cache keeps it: compiled when first evaluated by
  // pugixml, and as a child path when it is one.
  struct Query {
    std::optional<ChildPath> childPath;
    std::unique_ptr<pugi::xpath_query> compiled;
  };
  Query& query(std::string_view xpath);
  const pugi::xpath_query& compiled(std::string_view xpath, Query& query);
  void writeText(pugi::xml_writer& writer) const;
  pugi::xml_node holder();  // keeps detached nodes outside the document element
  bool isDetached(pugi::xml_node node) const;

  std::string buffer_;  // the text a document parsed in place points into
  pugi::xml_document doc_;
  pugi::xml_node holder_;
  // Looked up by the query text without copying it.
  struct QueryTextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::unordered_map<std::string, std::unique_ptr<Query>, QueryTextHash, std::equal_to<>> queries_;
};

template <typename Test>
pugi::xml_node Node::firstElementWhere(Test&& test) const {
  const pugi::xml_node holder = doc_->holder_;
  auto visible = [&](pugi::xml_node n) { return n.type() == pugi::node_element && n != holder; };
  pugi::xml_node current = node_;
  while (true) {
    if (current.type() == pugi::node_element && test(current)) return current;
    pugi::xml_node child = current.first_child();
    while (child && !visible(child)) child = child.next_sibling();
    if (child) {
      current = child;
      continue;
    }
    while (true) {
      if (current == node_) return pugi::xml_node();
      pugi::xml_node next = current.next_sibling();
      while (next && !visible(next)) next = next.next_sibling();
      if (next) {
        current = next;
        break;
      }
      current = current.parent();
    }
  }
}

template <typename Test>
Node Node::firstElementNamed(const char* first, const char* second, Test&& test) const {
  requireNode("firstElementNamed");
  if (isAttribute()) return Node();
  pugi::xml_node found = firstElementWhere([&](pugi::xml_node element) {
    const char* name = element.name();
    return (std::strcmp(name, first) == 0 || std::strcmp(name, second) == 0) && test(Node(doc_, element));
  });
  return found ? Node(doc_, found) : Node();
}

}  // namespace xml
