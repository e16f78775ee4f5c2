// The parse tree both grammars build while they reduce: a token makes a
// leaf holding its rendered element text, a nonterminal makes a node that
// links its children, a transparent nonterminal just joins its children's
// sibling chains.  Nothing is copied per level, and the finished tree is
// written once, in document order, with an explicit stack.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
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

class PieceTree {
 public:
  enum class Kind : uint8_t { Token, Element };

  struct Piece {
    const char* text;     // Token: rendered element text; Element: name
    uint32_t length;      // length of text
    PieceId next;         // next sibling
    PieceId child;        // Element: first child; Token: offset of the escaped t value in text
    uint32_t valueLength; // Token: length of the escaped t value
    int32_t line;         // Token: line
    int32_t column;       // Token: column, or -1 when the format has none
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

  const Piece& piece(PieceId id) const { return pieces_[id]; }
  // The escaped t value of a token piece.
  std::string_view tokenValue(const Piece& token) const {
    return std::string_view(token.text + token.child, token.valueLength);
  }
  std::string_view tokenText(const Piece& token) const {
    return std::string_view(token.text, token.length);
  }
  size_t pieceCount() const { return pieces_.size(); }

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
  char* allocateText(size_t size);
  PieceId add(const Piece& piece);

  std::vector<Piece> pieces_;
  std::vector<std::unique_ptr<char[]>> chunks_;
  char* chunkCursor_ = nullptr;
  size_t chunkLeft_ = 0;
};

template <class Visitor>
bool PieceTree::walk(PieceList list, Visitor& visitor) const {
  std::vector<PieceId> open;
  PieceId current = list.head;
  const PieceId stop = list.tail == kNoPiece ? kNoPiece : pieces_[list.tail].next;
  while (true) {
    while (current != kNoPiece && !(open.empty() && current == stop)) {
      const Piece& piece = pieces_[current];
      if (piece.kind == Kind::Token) {
        if (!visitor.token(current)) return false;
        current = piece.next;
        continue;
      }
      if (!visitor.open(current)) return false;
      open.push_back(current);
      current = piece.child;
    }
    if (open.empty()) return true;
    const PieceId closing = open.back();
    open.pop_back();
    if (!visitor.close(closing)) return false;
    current = pieces_[closing].next;
  }
}

}  // namespace parsetree
