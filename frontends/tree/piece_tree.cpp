#include "piece_tree.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tree {
namespace {

constexpr size_t kWriteBuffer = 1 << 16;
// The longest escape, "&quot;" or "&apos;".
constexpr size_t kLongestEscape = 6;
// Room for a decimal int with its sign.
constexpr size_t kNumberRoom = 12;

// The replacement of each byte that is escaped, empty for the others.
struct EscapeTable {
  std::array<std::string_view, 256> replacement{};
  constexpr EscapeTable() {
    replacement[static_cast<unsigned char>('"')] = "&quot;";
    replacement[static_cast<unsigned char>('&')] = "&amp;";
    replacement[static_cast<unsigned char>('\'')] = "&apos;";
    replacement[static_cast<unsigned char>('<')] = "&lt;";
    replacement[static_cast<unsigned char>('>')] = "&gt;";
  }
};
constexpr EscapeTable kEscapes;

// Escapes raw into out, which has room for kLongestEscape bytes per raw
// byte; returns the end of what was written.
char* escapeInto(std::string_view raw, char* out) {
  for (char c : raw) {
    const std::string_view replacement = kEscapes.replacement[static_cast<unsigned char>(c)];
    if (replacement.empty()) {
      *out++ = c;
    } else {
      std::memcpy(out, replacement.data(), replacement.size());
      out += replacement.size();
    }
  }
  return out;
}

size_t decimalLength(int value) {
  char digits[kNumberRoom];
  return static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
}

// Renders into a fixed buffer handed to the sink whenever it fills.
class Out {
 public:
  explicit Out(TextSink& sink)
      : sink_(sink), buffer_(std::make_unique_for_overwrite<char[]>(kWriteBuffer)),
        cursor_(buffer_.get()), end_(buffer_.get() + kWriteBuffer) {}

  bool ok() const { return ok_; }

  void put(std::string_view bytes) {
    while (!bytes.empty() && ok_) {
      if (cursor_ == end_) flush();
      const size_t n = std::min(bytes.size(), static_cast<size_t>(end_ - cursor_));
      std::memcpy(cursor_, bytes.data(), n);
      cursor_ += n;
      bytes.remove_prefix(n);
    }
  }

  // A tag of an element: open, the name, close.
  void tag(std::string_view open, std::string_view name, std::string_view close) {
    if (room() < open.size() + name.size() + close.size()) {
      put(open), put(name), put(close);
      return;
    }
    copy(open), copy(name), copy(close);
  }

  void token(std::string_view name, int line, int column, std::string_view raw) {
    // The start tag and both attributes but t, then t's value, then the end.
    if (room() < name.size() + 2 * kNumberRoom + 16) {
      flush();
      if (room() < name.size() + 2 * kNumberRoom + 16) {
        putToken(name, line, column, raw);
        return;
      }
    }
    copy("<"), copy(name), copy(" l=\""), number(line);
    if (column >= 0) copy("\" c=\""), number(column);
    copy("\" t=\"");
    escaped(raw);
    if (room() < 3) flush();
    put("\"/>");
  }

  bool flush() {
    if (ok_ && cursor_ != buffer_.get())
      ok_ = sink_.write(std::string_view(buffer_.get(), static_cast<size_t>(cursor_ - buffer_.get())));
    cursor_ = buffer_.get();
    return ok_;
  }

 private:
  size_t room() const { return static_cast<size_t>(end_ - cursor_); }
  void copy(std::string_view bytes) {
    std::memcpy(cursor_, bytes.data(), bytes.size());
    cursor_ += bytes.size();
  }
  void number(int value) { cursor_ = std::to_chars(cursor_, end_, value).ptr; }

  void escaped(std::string_view raw) {
    while (!raw.empty() && ok_) {
      if (room() < kLongestEscape) flush();
      const size_t n = std::min(raw.size(), room() / kLongestEscape);
      cursor_ = escapeInto(raw.substr(0, n), cursor_);
      raw.remove_prefix(n);
    }
  }

  // The slow way, for a name longer than the buffer.
  void putToken(std::string_view name, int line, int column, std::string_view raw) {
    std::string head = "<";
    head.append(name).append(" l=\"").append(std::to_string(line));
    if (column >= 0) head.append("\" c=\"").append(std::to_string(column));
    head.append("\" t=\"");
    put(head);
    escaped(raw);
    put("\"/>");
  }

  TextSink& sink_;
  std::unique_ptr<char[]> buffer_;
  char* cursor_;
  char* end_;
  bool ok_ = true;
};

}  // namespace

void appendEscaped(std::string_view raw, std::string& out) {
  const size_t start = out.size();
  out.resize(start + escapedLength(raw));
  escapeInto(raw, out.data() + start);
}

size_t escapedLength(std::string_view raw) {
  size_t length = raw.size();
  for (char c : raw) {
    const size_t replaced = kEscapes.replacement[static_cast<unsigned char>(c)].size();
    if (replaced != 0) length += replaced - 1;
  }
  return length;
}

PieceTree::PieceTree() : nameCache_(std::make_unique<CachedName[]>(kNameCache)) {}
PieceTree::~PieceTree() = default;

uint16_t PieceTree::nameIndex(std::string_view name) {
  const auto address = reinterpret_cast<uintptr_t>(name.data());
  CachedName& cached = nameCache_[((address >> 3) ^ (address >> 12)) & (kNameCache - 1)];
  if (cached.data == name.data() && cached.size == name.size()) return cached.index;
  auto found = nameIndexes_.find(name);
  uint16_t index;
  if (found != nameIndexes_.end()) {
    index = found->second;
  } else {
    if (names_.size() > UINT16_MAX) throw std::length_error("too many names in the parse tree");
    index = static_cast<uint16_t>(names_.size());
    names_.push_back(name);
    nameIndexes_.emplace(name, index);
  }
  cached = CachedName{name.data(), name.size(), index};
  return index;
}

PieceList PieceTree::token(std::string_view name, int line, int column, std::string_view raw) {
  // Ids and text offsets are 32 bits wide.
  if (tokenCount_ >= kElementBit) throw std::length_error("parse tree too large");
  if (raw.size() > UINT32_MAX - text_.size()) throw std::length_error("parse tree text too large");
  const uint16_t nameId = nameIndex(name);
  const auto offset = static_cast<uint32_t>(text_.size());
  text_.insert(text_.end(), raw.begin(), raw.end());
  const PieceId id = tokenCount_;
  tokens_.grow(id);
  tokens_[id] = Token{kNoPiece, offset, line, column, nameId};
  ++tokenCount_;
  return PieceList{id, id};
}

PieceList PieceTree::element(std::string_view name, PieceList children) {
  // kNoPiece is reserved.
  if (elementCount_ >= (kNoPiece & ~kElementBit)) throw std::length_error("parse tree too large");
  const uint16_t nameId = nameIndex(name);
  elements_.grow(elementCount_);
  elements_[elementCount_] = Element{kNoPiece, children.head, nameId};
  const PieceId id = elementCount_ | kElementBit;
  ++elementCount_;
  return PieceList{id, id};
}

std::string_view PieceTree::rawText(PieceId id) const {
  const uint32_t begin = tokens_[id].offset;
  const size_t end = id + 1 < tokenCount_ ? tokens_[id + 1].offset : text_.size();
  return std::string_view(text_.data() + begin, end - begin);
}

std::string PieceTree::tokenValue(PieceId id) const {
  std::string value;
  appendEscaped(rawText(id), value);
  return value;
}

void PieceTree::appendToken(PieceId id, std::string& out) const {
  const Token& token = tokens_[id];
  out += '<';
  out.append(names_[token.name]);
  out.append(" l=\"").append(std::to_string(token.line));
  if (token.column >= 0) out.append("\" c=\"").append(std::to_string(token.column));
  out.append("\" t=\"");
  appendEscaped(rawText(id), out);
  out.append("\"/>");
}

bool PieceTree::write(PieceList list, TextSink& sink) const {
  Out out(sink);
  // Each entry is an element whose closing tag is still to be written.
  std::vector<PieceId> open;
  PieceId current = list.head;
  const PieceId stop = list.tail == kNoPiece ? kNoPiece : next(list.tail);
  while (out.ok()) {
    while (current != kNoPiece && !(open.empty() && current == stop)) {
      if (isToken(current)) {
        const Token& token = tokens_[current];
        out.token(names_[token.name], token.line, token.column, rawText(current));
        current = token.next;
        continue;
      }
      const Element& element = elementAt(current);
      out.tag("<", names_[element.name], ">\n");
      open.push_back(current);
      current = element.first;
    }
    if (open.empty()) break;
    const Element& closing = elementAt(open.back());
    open.pop_back();
    out.tag("</", names_[closing.name], ">\n");
    current = closing.next;
  }
  return out.flush();
}

uint64_t PieceTree::textLength(PieceList list) const {
  uint64_t total = 0;
  std::vector<PieceId> open;
  PieceId current = list.head;
  const PieceId stop = list.tail == kNoPiece ? kNoPiece : next(list.tail);
  while (true) {
    while (current != kNoPiece && !(open.empty() && current == stop)) {
      if (isToken(current)) {
        // <name l="line" c="column" t="value"/>
        const Token& token = tokens_[current];
        total += 1 + names_[token.name].size() + 4 + decimalLength(token.line) + 5 +
                 escapedLength(rawText(current)) + 3;
        if (token.column >= 0) total += 5 + decimalLength(token.column);
        current = token.next;
        continue;
      }
      const Element& element = elementAt(current);
      total += 2 * uint64_t{names_[element.name].size()} + 7;  // "<" name ">\n" and "</" name ">\n"
      open.push_back(current);
      current = element.first;
    }
    if (open.empty()) break;
    current = elementAt(open.back()).next;
    open.pop_back();
  }
  return total;
}

std::string PieceTree::prefix(PieceList list, size_t maxBytes) const {
  struct Collector {
    const PieceTree& tree;
    size_t maxBytes;
    std::string text;
    bool full() {
      if (text.size() < maxBytes) return false;
      text.resize(maxBytes);
      return true;
    }
    bool open(PieceId id) {
      text.append("<").append(tree.name(id)).append(">\n");
      return !full();
    }
    bool close(PieceId id) {
      text.append("</").append(tree.name(id)).append(">\n");
      return !full();
    }
    bool token(PieceId id) {
      tree.appendToken(id, text);
      return !full();
    }
  };
  Collector collector{*this, maxBytes, {}};
  if (maxBytes > 0) walk(list, collector);
  return std::move(collector.text);
}

void PieceTree::clear() {
  tokens_.blocks.clear();
  elements_.blocks.clear();
  tokenCount_ = 0;
  elementCount_ = 0;
  std::vector<char>().swap(text_);
}

}  // namespace tree
