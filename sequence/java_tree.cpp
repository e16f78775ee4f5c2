#include "sequence/java_tree.h"

#include <cctype>

#include "files/latin1.h"

namespace sequence {
namespace {

// Tokens that stand between two operands inside an expression or a
// declaration and read best with a blank on either side.
bool isBinaryOperator(Kind token, Kind parent) {
  if (parent != Kind::Expr && parent != Kind::AsstOp && parent != Kind::VarDeclr) return false;
  switch (token) {
    case Kind::ADD: case Kind::SUB: case Kind::MUL: case Kind::DIV: case Kind::PC: case Kind::LT:
    case Kind::GT: case Kind::LE: case Kind::GE: case Kind::EQEQ: case Kind::NE: case Kind::AMP:
    case Kind::PIPE: case Kind::CARET: case Kind::LAND: case Kind::LOR: case Kind::QUEST: case Kind::COL:
    case Kind::SHL: case Kind::SHR: case Kind::SHRR: case Kind::EQ: case Kind::ASSMUL: case Kind::ASSDIV:
    case Kind::ASSMOD: case Kind::ASSADD: case Kind::ASSSUB: case Kind::ASSSHL: case Kind::ASSSHR:
    case Kind::ASSSHRR: case Kind::ASSAND: case Kind::ASSXOR: case Kind::ASSOR: case Kind::INSTANCEOF:
      return true;
    default:
      return false;
  }
}

bool isWordByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return std::isalnum(byte) || c == '_' || c == '$' || c == '"' || c == '\'' || byte >= 0x80;
}

}  // namespace

std::vector<syntax::Node> childList(const syntax::Node& node) {
  std::vector<syntax::Node> children;
  for (const syntax::Node child : node.children()) children.push_back(child);
  return children;
}

std::string tokenText(const syntax::Node& node) { return node.isToken() ? syntax::blankedText(node) : std::string(); }

namespace {

std::string joinedText(const syntax::Node& node, bool withAnnotations) {
  std::string out;
  Kind previousKind = Kind::Other, previousParent = Kind::Other;
  std::string previousText;
  auto append = [&](Kind kind, Kind parent, const std::string& text) {
    if (!out.empty() && !text.empty()) {
      const bool shiftPair = kind == Kind::GT && previousKind == Kind::GT;  // a >> b is two tokens
      const bool blank =
          !shiftPair &&
          (previousKind == Kind::CMA || isBinaryOperator(previousKind, previousParent) ||
           isBinaryOperator(kind, parent) || (isWordByte(previousText.back()) && isWordByte(text.front())));
      if (blank) out += ' ';
    }
    out += text;
    previousKind = kind;
    previousParent = parent;
    if (!text.empty()) previousText = text;
  };
  // The bodies of anonymous classes and lambdas inside the expression
  // show as "...": the members of a class body, and a block.
  node.walk([&](const syntax::Node& current) {
    if (current.isToken()) {
      append(current.kind(), current.parent().kind(), tokenText(current));
      return syntax::Step::Into;
    }
    if (current != node && current.is(Kind::Blk)) {
      append(Kind::OBR, Kind::Blk, "{...}");
      return syntax::Step::Over;
    }
    if (current != node && current.is(Kind::FldDecln)) {
      if (previousText != "...") append(Kind::ELL, Kind::FldDecln, "...");
      return syntax::Step::Over;
    }
    if (!withAnnotations && current.is(Kind::AnnotType)) return syntax::Step::Over;
    return syntax::Step::Into;
  });
  return out;
}

}  // namespace

std::string expressionText(const syntax::Node& node) { return joinedText(node, true); }
std::string typeText(const syntax::Node& node) { return joinedText(node, false); }

std::string convertText(std::string text, text::Charset from, text::Charset to) {
  if (from == to || files::isAscii(text)) return text;
  return to == text::Charset::Utf8 ? files::latin1ToUtf8(text) : files::utf8ToLatin1(text);
}

}  // namespace sequence
