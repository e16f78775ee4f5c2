#include "frontends/java/syntax/syntax_tree.h"

#include <array>
#include <stdexcept>
#include <unordered_map>

#include "frontends/java/source_parse.h"

namespace syntax {

namespace {

constexpr std::array kKindNames{
    std::string_view(),
#define SYNTAX_KIND_NAME(symbol) std::string_view(#symbol),
    SYNTAX_NODE_KINDS(SYNTAX_KIND_NAME)
#undef SYNTAX_KIND_NAME
};

constexpr uint32_t kNone = UINT32_MAX;

// Appends the pieces to the tree in document order.
class Builder {
 public:
  Builder(const tree::PieceTree& pieces, detail::TreeData& data) : pieces_(pieces), data_(data) {
    // The document holds the top pieces.
    data_.names.emplace_back();
    data_.kinds.push_back(Kind::Other);
    data_.nodes.push_back(detail::Entry{kNone, 0, 0, 0});
    open_.push_back(0);
  }

  bool open(tree::PieceId id) {
    open_.push_back(append(id, 0));
    return true;
  }
  bool close(tree::PieceId) {
    data_.nodes[open_.back()].end = size();
    open_.pop_back();
    return true;
  }
  bool token(tree::PieceId id) {
    const std::string_view raw = pieces_.rawText(id);
    if (raw.size() > UINT32_MAX - data_.text.size()) throw std::length_error("syntax tree text too large");
    const uint32_t index = append(id, detail::kTokenBit);
    data_.nodes[index].end = index + 1;
    data_.tokens.push_back(detail::Token{index, static_cast<uint32_t>(data_.text.size()), pieces_.line(id),
                                         pieces_.column(id)});
    data_.text.append(raw);
    return true;
  }

  void finish() { data_.nodes[0].end = size(); }

 private:
  uint32_t size() const { return static_cast<uint32_t>(data_.nodes.size()); }

  uint32_t append(tree::PieceId id, uint16_t tokenBit) {
    if (data_.nodes.size() >= kNone - 1 || data_.tokens.size() >= kNone - 1)
      throw std::length_error("syntax tree too large");
    const uint32_t index = size();
    data_.nodes.push_back(detail::Entry{open_.back(), index, static_cast<uint32_t>(data_.tokens.size()),
                                        static_cast<uint16_t>(nameIndex(pieces_.name(id)) | tokenBit)});
    return index;
  }

  // Names are the grammar's symbols: few, and the same literals again and
  // again.
  uint16_t nameIndex(std::string_view name) {
    const auto found = names_.find(name.data());
    if (found != names_.end() && data_.names[found->second] == name) return found->second;
    if (data_.names.size() >= detail::kTokenBit) throw std::length_error("too many symbols in the syntax tree");
    const auto index = static_cast<uint16_t>(data_.names.size());
    data_.names.emplace_back(name);
    data_.kinds.push_back(kindOf(name));
    names_[name.data()] = index;
    return index;
  }

  const tree::PieceTree& pieces_;
  detail::TreeData& data_;
  std::vector<uint32_t> open_;
  std::unordered_map<const char*, uint16_t> names_;
};

uint16_t nameOf(const detail::Entry& entry) { return entry.name & static_cast<uint16_t>(~detail::kTokenBit); }

}  // namespace

std::string_view kindName(Kind kind) { return kKindNames[static_cast<size_t>(kind)]; }

Kind kindOf(std::string_view symbol) {
  static const std::unordered_map<std::string_view, Kind> kinds = [] {
    std::unordered_map<std::string_view, Kind> table;
    for (size_t i = 1; i < kKindNames.size(); ++i) table.emplace(kKindNames[i], static_cast<Kind>(i));
    return table;
  }();
  const auto found = kinds.find(symbol);
  return found == kinds.end() ? Kind::Other : found->second;
}

Tree::Tree() : data_(std::make_unique<detail::TreeData>()) {
  data_->names.emplace_back();
  data_->kinds.push_back(Kind::Other);
  data_->nodes.push_back(detail::Entry{kNone, 1, 0, 0});
}
Tree::~Tree() = default;
Tree::Tree(Tree&&) noexcept = default;
Tree& Tree::operator=(Tree&&) noexcept = default;

Tree Tree::fromPieces(const tree::PieceTree& pieces, tree::PieceList list) {
  Tree built;
  built.data_ = std::make_unique<detail::TreeData>();
  detail::TreeData& data = *built.data_;
  // Room for every piece the parser made: the program holds all or most.
  data.nodes.reserve(pieces.pieceCount() + 1);
  data.tokens.reserve(pieces.tokenCount());
  data.text.reserve(pieces.textSize());
  Builder builder(pieces, data);
  pieces.walk(list, builder);
  builder.finish();
  return built;
}

Tree Tree::fromParse(const java::SourceParse& parse) { return fromPieces(parse.pieces(), parse.program()); }

std::string_view Node::name() const { return tree_ ? std::string_view(tree_->names[nameOf(tree_->nodes[index_])]) : ""; }

Node Node::parent() const {
  if (!tree_) return Node();
  const uint32_t parent = tree_->nodes[index_].parent;
  return parent == kNone ? Node() : Node(tree_, parent);
}

Node Node::firstChild() const {
  if (!tree_ || isToken()) return Node();
  return index_ + 1 < tree_->nodes[index_].end ? Node(tree_, index_ + 1) : Node();
}

Node Node::lastChild() const {
  Node last;
  for (Node child = firstChild(); child; child = child.nextSibling()) last = child;
  return last;
}

Node Node::nextSibling() const {
  if (!tree_) return Node();
  const uint32_t parent = tree_->nodes[index_].parent;
  if (parent == kNone) return Node();
  const uint32_t next = tree_->nodes[index_].end;
  return next < tree_->nodes[parent].end ? Node(tree_, next) : Node();
}

Node Node::previousSibling() const {
  const Node up = parent();
  if (!up) return Node();
  Node previous;
  for (Node child = up.firstChild(); child && child.index_ != index_; child = child.nextSibling()) previous = child;
  return previous;
}

ChildRange Node::children() const { return ChildRange(firstChild()); }

Node Node::child(Kind kind) const {
  for (Node child = firstChild(); child; child = child.nextSibling())
    if (child.kind() == kind) return child;
  return Node();
}

bool Node::contains(const Node& other) const {
  return tree_ && other.tree_ == tree_ && other.index_ >= index_ && other.index_ < tree_->nodes[index_].end;
}

TokenRange Node::tokens() const {
  if (!tree_) return TokenRange();
  return TokenRange(tree_, tree_->nodes[index_].firstToken, tree_->tokenEnd(index_));
}

TokenRange Node::tokensThrough(const Node& last) const {
  if (!tree_ || last.tree_ != tree_ || last.index_ < index_) return tokens();
  return TokenRange(tree_, tree_->nodes[index_].firstToken, tree_->tokenEnd(last.index_));
}

Node Node::firstToken() const {
  const TokenRange below = tokens();
  return below.empty() ? Node() : below.front();
}

Node Node::lastToken() const {
  const TokenRange below = tokens();
  return below.empty() ? Node() : below.back();
}

int32_t Node::firstLine() const { return firstToken().line(); }
int32_t Node::lastLine() const { return lastToken().line(); }

int32_t Node::line() const {
  if (!isToken()) return 0;
  return tree_->tokens[tree_->nodes[index_].firstToken].line;
}

int32_t Node::column() const {
  if (!isToken()) return -1;
  return tree_->tokens[tree_->nodes[index_].firstToken].column;
}

std::string_view Node::raw() const {
  if (!isToken()) return {};
  const uint32_t token = tree_->nodes[index_].firstToken;
  const uint32_t begin = tree_->tokens[token].offset;
  const size_t end = token + 1 < tree_->tokens.size() ? tree_->tokens[token + 1].offset : tree_->text.size();
  return std::string_view(tree_->text).substr(begin, end - begin);
}

std::string blankedText(const Node& token) {
  const std::string_view raw = token.raw();
  std::string text;
  text.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '\r') {
      text += ' ';
      if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
    } else if (c == '\n' || c == '\t') {
      text += ' ';
    } else {
      text += c;
    }
  }
  return text;
}

}  // namespace syntax
