#include "piece_tree.h"

#include <charconv>
#include <cstring>
#include <stdexcept>
#include <string>

namespace parsetree {
namespace {

constexpr size_t kChunkSize = 1 << 20;
constexpr size_t kWriteBuffer = 1 << 16;

// Collects output into large chunks before handing it to the sink.
class BufferedOut {
 public:
  explicit BufferedOut(TextSink& sink) : sink_(sink) { buffer_.reserve(kWriteBuffer); }
  bool put(std::string_view bytes) {
    if (!ok_) return false;
    if (buffer_.size() + bytes.size() > kWriteBuffer) {
      if (!flush()) return false;
      if (bytes.size() > kWriteBuffer) return ok_ = sink_.write(bytes);
    }
    buffer_.append(bytes);
    return true;
  }
  bool flush() {
    if (ok_ && !buffer_.empty()) ok_ = sink_.write(buffer_);
    buffer_.clear();
    return ok_;
  }

 private:
  TextSink& sink_;
  std::string buffer_;
  bool ok_ = true;
};

void appendNumber(std::string& out, int value) {
  char digits[16];
  auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

}  // namespace

void appendEscaped(std::string_view raw, std::string& out) {
  for (char c : raw) {
    switch (c) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c; break;
    }
  }
}

PieceTree::PieceTree() = default;
PieceTree::~PieceTree() = default;

char* PieceTree::allocateText(size_t size) {
  if (size > chunkLeft_) {
    // Chunks grow from small to kChunkSize so that a small tree stays small;
    // they are not cleared, every byte is written before it is read.
    const size_t grown = chunks_.size() >= 4 ? kChunkSize : (kChunkSize >> (8 - 2 * chunks_.size()));
    const size_t chunk = size > grown ? size : grown;
    chunks_.push_back(std::make_unique_for_overwrite<char[]>(chunk));
    chunkCursor_ = chunks_.back().get();
    chunkLeft_ = chunk;
  }
  char* out = chunkCursor_;
  chunkCursor_ += size;
  chunkLeft_ -= size;
  return out;
}

PieceId PieceTree::add(const Piece& piece) {
  // Ids are 32 bits wide and kNoPiece is reserved.
  if (pieces_.size() >= kNoPiece) throw std::length_error("parse tree too large");
  pieces_.push_back(piece);
  return static_cast<PieceId>(pieces_.size() - 1);
}

PieceList PieceTree::token(std::string_view name, int line, int column, std::string_view raw) {
  std::string text;
  text.reserve(name.size() + raw.size() + 32);
  text += '<';
  text.append(name);
  text += " l=\"";
  appendNumber(text, line);
  if (column >= 0) {
    text += "\" c=\"";
    appendNumber(text, column);
  }
  text += "\" t=\"";
  const size_t valueOffset = text.size();
  appendEscaped(raw, text);
  const size_t valueLength = text.size() - valueOffset;
  text += "\"/>";
  char* stored = allocateText(text.size());
  std::memcpy(stored, text.data(), text.size());
  Piece piece{stored, static_cast<uint32_t>(text.size()), kNoPiece,
              static_cast<PieceId>(valueOffset), static_cast<uint32_t>(valueLength),
              line, column, Kind::Token};
  PieceId id = add(piece);
  return PieceList{id, id};
}

PieceList PieceTree::element(std::string_view name, PieceList children) {
  Piece piece{name.data(), static_cast<uint32_t>(name.size()), kNoPiece, children.head, 0, 0, -1,
              Kind::Element};
  PieceId id = add(piece);
  return PieceList{id, id};
}

PieceList PieceTree::join(PieceList first, PieceList second) {
  if (first.empty()) return second;
  if (second.empty()) return first;
  pieces_[first.tail].next = second.head;
  return PieceList{first.head, second.tail};
}

bool PieceTree::write(PieceList list, TextSink& sink) const {
  BufferedOut out(sink);
  // Each entry is an element whose closing tag is still to be written.
  std::vector<PieceId> open;
  PieceId current = list.head;
  const PieceId stop = list.tail == kNoPiece ? kNoPiece : pieces_[list.tail].next;
  while (true) {
    while (current != kNoPiece && !(open.empty() && current == stop)) {
      const Piece& piece = pieces_[current];
      if (piece.kind == Kind::Token) {
        if (!out.put(std::string_view(piece.text, piece.length))) return false;
        current = piece.next;
        continue;
      }
      out.put("<");
      out.put(std::string_view(piece.text, piece.length));
      if (!out.put(">\n")) return false;
      open.push_back(current);
      current = piece.child;
    }
    if (open.empty()) break;
    const Piece& closing = pieces_[open.back()];
    open.pop_back();
    out.put("</");
    out.put(std::string_view(closing.text, closing.length));
    if (!out.put(">\n")) return false;
    current = closing.next;
  }
  return out.flush();
}

uint64_t PieceTree::textLength(PieceList list) const {
  uint64_t total = 0;
  std::vector<PieceId> open;
  PieceId current = list.head;
  const PieceId stop = list.tail == kNoPiece ? kNoPiece : pieces_[list.tail].next;
  while (true) {
    while (current != kNoPiece && !(open.empty() && current == stop)) {
      const Piece& piece = pieces_[current];
      if (piece.kind == Kind::Token) {
        total += piece.length;
        current = piece.next;
        continue;
      }
      total += 2 * uint64_t{piece.length} + 7;  // "<" name ">\n" and "</" name ">\n"
      open.push_back(current);
      current = piece.child;
    }
    if (open.empty()) break;
    current = pieces_[open.back()].next;
    open.pop_back();
  }
  return total;
}

std::string PieceTree::prefix(PieceList list, size_t maxBytes) const {
  struct Collector {
    const PieceTree& tree;
    size_t maxBytes;
    std::string text;
    bool add(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
      text.append(a).append(b).append(c);
      if (text.size() < maxBytes) return true;
      text.resize(maxBytes);
      return false;
    }
    bool open(PieceId id) { return add("<", name(id), ">\n"); }
    bool close(PieceId id) { return add("</", name(id), ">\n"); }
    bool token(PieceId id) { return add(tree.tokenText(tree.piece(id))); }
    std::string_view name(PieceId id) const {
      const Piece& piece = tree.piece(id);
      return std::string_view(piece.text, piece.length);
    }
  };
  Collector collector{*this, maxBytes, {}};
  if (maxBytes > 0) walk(list, collector);
  return std::move(collector.text);
}

void PieceTree::clear() {
  pieces_.clear();
  chunks_.clear();
  chunkCursor_ = nullptr;
  chunkLeft_ = 0;
}

}  // namespace parsetree
