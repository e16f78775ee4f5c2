// The parse tree both grammars build while they reduce: a token makes a
// leaf holding its name, line, column and raw text, a nonterminal makes a
// node that links its children, a transparent nonterminal just joins its
// children's sibling chains.  Nothing is copied per level, tokens are
// rendered (and escaped) only when the finished tree is written once, in
// document order, with an explicit stack.  A piece takes 24 bytes and the
// raw token text its own length, which keeps the whole tree smaller than
// the text it writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace parsetree {

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
  enum class Kind : uint8_t { Token, Element };

  struct Piece {
    PieceId next;     // next sibling
    uint32_t first;   // Element: first child; Token: offset of the raw text
    uint32_t length;  // Token: length of the raw text
    int32_t line;     // Token: line
    int32_t column;   // Token: column, or -1 when the format has none
    uint16_t name;    // index into the name table
    Kind kind;
  };

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
  PieceList join(PieceList first, PieceList second);

  const Piece& piece(PieceId id) const { return blocks_[id >> kBlockBits][id & kBlockMask]; }
  std::string_view name(const Piece& piece) const { return names_[piece.name]; }
  // The token's text as the scanner matched it.
  std::string_view rawText(const Piece& token) const {
    return std::string_view(text_.data() + token.first, token.length);
  }
  // The escaped t value of a token piece.
  std::string tokenValue(const Piece& token) const;
  // Appends the token's element text (what write() produces for it).
  void appendToken(const Piece& token, std::string& out) const;
  size_t pieceCount() const { return count_; }

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

  void clear();

 private:
  // Pieces live in blocks of a fixed size, so the tree grows without
  // copying what it holds or keeping spare room of its own size.
  static constexpr unsigned kBlockBits = 16;
  static constexpr PieceId kBlockMask = (PieceId{1} << kBlockBits) - 1;

  Piece& at(PieceId id) { return blocks_[id >> kBlockBits][id & kBlockMask]; }
  PieceId add(const Piece& piece);
  uint16_t nameIndex(std::string_view name);

  std::vector<std::unique_ptr<Piece[]>> blocks_;
  size_t count_ = 0;
  // Raw token texts, one after the other; pieces refer to them by offset.
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
  const PieceId stop = list.tail == kNoPiece ? kNoPiece : piece(list.tail).next;
  while (true) {
    while (current != kNoPiece && !(open.empty() && current == stop)) {
      const Piece& p = piece(current);
      if (p.kind == Kind::Token) {
        if (!visitor.token(current)) return false;
        current = p.next;
        continue;
      }
      if (!visitor.open(current)) return false;
      open.push_back(current);
      current = p.first;
    }
    if (open.empty()) return true;
    const PieceId closing = open.back();
    open.pop_back();
    if (!visitor.close(closing)) return false;
    current = piece(closing).next;
  }
}

}  // namespace parsetree
