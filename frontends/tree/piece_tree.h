// The parse tree both grammars build while they reduce: a token makes a
// leaf holding its name, line, column and raw text, a nonterminal makes a
// node that links its children, a transparent nonterminal just joins its
// children's sibling chains.  Nothing is copied per level, tokens are
// rendered (and escaped) only when the finished tree is written once, in
// document order, with an explicit stack.  A token takes 20 bytes and its
// raw text, an element 12 bytes: the whole tree is smaller than the text it
// writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tree {

using PieceId = uint32_t;
constexpr PieceId kNoPiece = UINT32_MAX;

// A run of sibling pieces: the value of one grammar symbol.
struct PieceList {
  PieceId head = kNoPiece;
  PieceId tail = kNoPiece;
  bool empty() const { return head == kNoPiece; }
};

// Receives the written text in large chunks.
class TextSink {
 public:
  virtual ~TextSink() = default;
  // False ends the writing.
  virtual bool write(std::string_view bytes) = 0;
};

// Appends the five XML escapes of the tree format to out: double quote,
// ampersand, single quote, less-than and greater-than; other bytes as they are.
void appendEscaped(std::string_view raw, std::string& out);
// The length appendEscaped would add.
size_t escapedLength(std::string_view raw);

class PieceTree {
 public:
  PieceTree();
  ~PieceTree();
  PieceTree(const PieceTree&) = delete;
  PieceTree& operator=(const PieceTree&) = delete;

  // <name l="line" c="column" t="escaped raw"/>; the c attribute is left
  // out when column is negative.  name must outlive the tree.
  PieceList token(std::string_view name, int line, int column, std::string_view raw);
  // <name>\n children </name>\n.  name must outlive the tree.
  PieceList element(std::string_view name, PieceList children);
  // The children of a transparent nonterminal, one after the other.
  PieceList join(PieceList first, PieceList second) {
    if (first.empty()) return second;
    if (second.empty()) return first;
    nextOf(first.tail) = second.head;
    return PieceList{first.head, second.tail};
  }

  // Ends the sibling chain at id, so that id can become the last child of
  // an element of its own.
  void cutAfter(PieceId id) { nextOf(id) = kNoPiece; }

  bool isToken(PieceId id) const { return (id & kElementBit) == 0; }
  std::string_view name(PieceId id) const {
    return names_[isToken(id) ? tokenAt(id).name : elementAt(id).name];
  }
  PieceId next(PieceId id) const { return isToken(id) ? tokenAt(id).next : elementAt(id).next; }
  // Element: its first child.
  PieceId firstChild(PieceId id) const { return elementAt(id).first; }
  // Token: its line, its column (-1 when the format has none), the text
  // the scanner matched and that text escaped (the t value).
  int line(PieceId id) const { return tokenAt(id).line; }
  int column(PieceId id) const { return tokenAt(id).column; }
  std::string_view rawText(PieceId id) const;
  std::string tokenValue(PieceId id) const;
  // Appends the token's element text (what write() produces for it).
  void appendToken(PieceId id, std::string& out) const;
  size_t pieceCount() const { return tokenCount_ + elementCount_; }
  size_t tokenCount() const { return tokenCount_; }
  // The bytes of all tokens' raw texts.
  size_t textSize() const { return text_.size(); }

  // Visits the list in document order without recursion:
  // visitor.open(id) before an element's children, visitor.token(id) for a
  // token, visitor.close(id) after an element's children.  Each returns
  // false to end the walk; walk() then returns false.
  template <class Visitor>
  bool walk(PieceList list, Visitor& visitor) const;
  // The first maxBytes bytes of what write() produces (fewer if shorter).
  std::string prefix(PieceList list, size_t maxBytes) const;

  // Writes the list in document order; false when the sink refused.
  bool write(PieceList list, TextSink& sink) const;
  // Exact length of what write() produces.
  uint64_t textLength(PieceList list) const;

  // Forgets every piece and frees their memory; names stay known.
  void clear();

 private:
  // Ids of elements have the top bit set; tokens and elements are kept
  // apart because an element needs half the room of a token.
  static constexpr PieceId kElementBit = PieceId{1} << 31;

  // A token's raw text runs from its offset to the offset of the token
  // made after it: tokens append their texts in the order they are made.
  struct Token {
    PieceId next;
    uint32_t offset;
    int32_t line;
    int32_t column;
    uint16_t name;
  };
  struct Element {
    PieceId next;
    PieceId first;
    uint16_t name;
  };
  static_assert(sizeof(Token) == 20 && sizeof(Element) == 12);

  // Pieces live in blocks of a fixed size, so the tree grows without
  // copying what it holds or keeping spare room of its own size.
  static constexpr unsigned kBlockBits = 16;
  static constexpr uint32_t kBlockMask = (uint32_t{1} << kBlockBits) - 1;
  template <class T>
  struct Blocks {
    std::vector<std::unique_ptr<T[]>> blocks;
    T& operator[](uint32_t index) const { return blocks[index >> kBlockBits][index & kBlockMask]; }
    // Room for the entry at index, which is the next one.
    void grow(uint32_t index) {
      if ((index & kBlockMask) == 0) blocks.push_back(std::make_unique_for_overwrite<T[]>(kBlockMask + 1));
    }
  };

  const Token& tokenAt(PieceId id) const { return tokens_[id]; }
  const Element& elementAt(PieceId id) const { return elements_[id & ~kElementBit]; }
  PieceId& nextOf(PieceId id) { return isToken(id) ? tokens_[id].next : elements_[id & ~kElementBit].next; }
  uint16_t nameIndex(std::string_view name);

  Blocks<Token> tokens_;
  Blocks<Element> elements_;
  uint32_t tokenCount_ = 0;
  uint32_t elementCount_ = 0;
  // Raw token texts, one after the other.
  std::vector<char> text_;
  std::vector<std::string_view> names_;
  std::unordered_map<std::string_view, uint16_t> nameIndexes_;
  // Names are usually the same few literals: the last index given for an
  // address is tried before the table.
  struct CachedName {
    const char* data = nullptr;
    size_t size = 0;
    uint16_t index = 0;
  };
  static constexpr size_t kNameCache = 512;
  std::unique_ptr<CachedName[]> nameCache_;
};

template <class Visitor>
bool PieceTree::walk(PieceList list, Visitor& visitor) const {
  std::vector<PieceId> open;
  PieceId current = list.head;
  const PieceId stop = list.tail == kNoPiece ? kNoPiece : next(list.tail);
  while (true) {
    while (current != kNoPiece && !(open.empty() && current == stop)) {
      if (isToken(current)) {
        if (!visitor.token(current)) return false;
        current = tokenAt(current).next;
        continue;
      }
      if (!visitor.open(current)) return false;
      open.push_back(current);
      current = elementAt(current).first;
    }
    if (open.empty()) return true;
    const PieceId closing = open.back();
    open.pop_back();
    if (!visitor.close(closing)) return false;
    current = elementAt(closing).next;
  }
}

}  // namespace tree
