// A Java file's syntax tree as the command reads it: built once from the
// parser's piece tree, typed by Kind, with each token's line, column and
// raw bytes.  Nodes are kept in document order in one array: a node's
// subtree is the run of nodes after it up to its end, and the tokens below
// a node are a run of the token array, so walking, skipping a subtree and
// collecting tokens need neither recursion nor searching.  A node takes 16
// bytes, a token 16 bytes and its text.  The tree is immutable; Node is a
// small handle into it, valid while the tree lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "frontends/java/syntax/node_kind.h"
#include "frontends/tree/piece_tree.h"

namespace java {
class SourceParse;
}

namespace syntax {

class Tree;
class TokenRange;
class ChildRange;

// What a walk does after visiting a node.
enum class Step {
  Into,  // on to the node's children, then on in document order
  Over,  // past the node's subtree
  Stop,  // ends the walk
};

namespace detail {

// A token's entry has end == its index + 1 and a name with kTokenBit set.
inline constexpr uint16_t kTokenBit = 0x8000;
struct Entry {
  uint32_t parent;
  uint32_t end;         // one past the last node of the subtree
  uint32_t firstToken;  // the first token at or after this node
  uint16_t name;        // into TreeData::names, with kTokenBit for a token
};
struct Token {
  uint32_t node;
  uint32_t offset;  // into text; the text runs to the next token's offset
  int32_t line;
  int32_t column;
};
static_assert(sizeof(Entry) == 16 && sizeof(Token) == 16);

struct TreeData {
  std::vector<Entry> nodes;
  std::vector<Token> tokens;
  std::string text;
  std::vector<std::string> names;
  std::vector<Kind> kinds;  // by name index

  // One past the last token at or below the node.
  uint32_t tokenEnd(uint32_t index) const {
    const uint32_t end = nodes[index].end;
    return end < nodes.size() ? nodes[end].firstToken : static_cast<uint32_t>(tokens.size());
  }
};

}  // namespace detail

// A node of a tree, or an empty node (false, of no kind, with no children,
// no tokens and no text).
class Node {
 public:
  Node() = default;

  explicit operator bool() const { return tree_ != nullptr; }
  bool operator==(const Node& other) const = default;

  Kind kind() const;
  bool is(Kind kind) const { return tree_ && this->kind() == kind; }
  // The grammar's symbol, for any kind, Other included.
  std::string_view name() const;
  bool isToken() const;

  Node parent() const;
  Node firstChild() const;
  Node lastChild() const;
  Node nextSibling() const;
  Node previousSibling() const;
  ChildRange children() const;
  // The first child of that kind, or an empty node.
  Node child(Kind kind) const;
  // Whether other is this node or lies below it.
  bool contains(const Node& other) const;

  // The tokens at or below this node, in source order.
  TokenRange tokens() const;
  // The tokens at or below this node and its next siblings up to last
  // (a later sibling, or this node).
  TokenRange tokensThrough(const Node& last) const;
  Node firstToken() const;
  Node lastToken() const;
  // The line of the first and last token at or below; 0 when none.
  int32_t firstLine() const;
  int32_t lastLine() const;

  // A token's line and column (the column is -1 when the grammar gave
  // none) and the bytes the scanner matched; 0, -1 and "" for an element.
  int32_t line() const;
  int32_t column() const;
  std::string_view raw() const;

  // Unique within its tree and the same every time the tree is built:
  // the node's place in document order.
  uint32_t key() const { return index_; }

  // Visits this node and the nodes below it in document order;
  // visit(Node) returns a Step.  No recursion: trees nest deeply.
  template <class Visit>
  void walk(Visit&& visit) const {
    if (!tree_) return;
    const uint32_t end = tree_->nodes[index_].end;
    for (uint32_t i = index_; i < end;) {
      const Step step = visit(Node(tree_, i));
      if (step == Step::Stop) return;
      i = step == Step::Over ? tree_->nodes[i].end : i + 1;
    }
  }

 private:
  friend class Tree;
  friend class TokenRange;
  Node(const detail::TreeData* tree, uint32_t index) : tree_(tree), index_(index) {}

  const detail::TreeData* tree_ = nullptr;
  uint32_t index_ = 0;
};

// The children of a node, in order.
class ChildRange {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Node;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Node;
    iterator() = default;
    Node operator*() const { return node_; }
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    iterator& operator++() {
      node_ = node_.nextSibling();
      return *this;
    }
    bool operator==(const iterator& other) const = default;

   private:
    friend class ChildRange;
    explicit iterator(Node node) : node_(node) {}
    Node node_;
  };
  iterator begin() const { return iterator(first_); }
  iterator end() const { return iterator(Node()); }
  bool empty() const { return !first_; }

 private:
  friend class Node;
  explicit ChildRange(Node first) : first_(first) {}
  Node first_;
};

// Asked of every node by every walk: inline.
inline Kind Node::kind() const {
  return tree_ ? tree_->kinds[tree_->nodes[index_].name & static_cast<uint16_t>(~detail::kTokenBit)] : Kind::Other;
}
inline bool Node::isToken() const { return tree_ && (tree_->nodes[index_].name & detail::kTokenBit) != 0; }

// A run of tokens in source order.
class TokenRange {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = Node;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = Node;
    iterator() = default;
    Node operator*() const;
    iterator operator++(int) {
      iterator before = *this;
      ++*this;
      return before;
    }
    iterator& operator++() {
      ++token_;
      return *this;
    }
    bool operator==(const iterator& other) const = default;

   private:
    friend class TokenRange;
    iterator(const detail::TreeData* tree, uint32_t token) : tree_(tree), token_(token) {}
    const detail::TreeData* tree_ = nullptr;
    uint32_t token_ = 0;
  };
  TokenRange() = default;
  iterator begin() const { return iterator(tree_, first_); }
  iterator end() const { return iterator(tree_, end_); }
  size_t size() const { return end_ - first_; }
  bool empty() const { return first_ == end_; }
  Node front() const { return *begin(); }
  Node back() const { return *iterator(tree_, end_ - 1); }

 private:
  friend class Node;
  friend class Tree;
  TokenRange(const detail::TreeData* tree, uint32_t first, uint32_t end) : tree_(tree), first_(first), end_(end) {}
  const detail::TreeData* tree_ = nullptr;
  uint32_t first_ = 0;
  uint32_t end_ = 0;
};

class Tree {
 public:
  // The tree of the pieces in list (the parser's program).
  static Tree fromPieces(const tree::PieceTree& pieces, tree::PieceList list);
  // After an accepted parse, before its tree is released.
  static Tree fromParse(const java::SourceParse& parse);

  Tree();
  ~Tree();
  Tree(Tree&&) noexcept;
  Tree& operator=(Tree&&) noexcept;
  Tree(const Tree&) = delete;
  Tree& operator=(const Tree&) = delete;

  // The document: a node of no kind holding the top pieces (the Program
  // element); its line is 0 and it has no name.
  Node root() const { return Node(data_.get(), 0); }
  // The node of a key; an empty node when no node has it.
  Node node(uint32_t key) const { return key < data_->nodes.size() ? Node(data_.get(), key) : Node(); }
  size_t nodeCount() const { return data_->nodes.size(); }
  size_t tokenCount() const { return data_->tokens.size(); }
 private:
  std::unique_ptr<detail::TreeData> data_;
};

inline Node TokenRange::iterator::operator*() const { return Node(tree_, tree_->tokens[token_].node); }

// A token's text as the tree file shows it: each line break (CR LF, CR or
// LF) and tab as one blank, other bytes as they are.
std::string blankedText(const Node& token);

}  // namespace syntax
