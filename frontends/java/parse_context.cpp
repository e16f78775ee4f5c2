#include "parse_context.h"

#include "frontends/java/tree_readings.h"

namespace java {

int ParseContext::nextToken(Symbol& value) {
  if (lexer_.level >= kFirstModernLevel) return nextModernToken(value);
  const int kind = scanner_.next();
  if (kind == 0) return 0;
  const std::string_view text = scanner_.text();
  const int column = lexer_.column - static_cast<int>(text.size());
  value.list = tree_.token(tokenName(kind), lexer_.line, column, text);
  value.first = value.last = value.list.head;
  lexer_.previousToken = kind;
  metrics_.tokenLine(lexer_.line);
  return kind;
}

void ParseContext::structure(Hook hook, const Symbol& symbol) {
  const int firstLine = tokenLine(tree_, symbol.first);
  const int lastLine = tokenLine(tree_, symbol.last);
  switch (hook) {
    // A header's name is its own IDEN, not one inside an annotation among
    // its modifiers; without annotations that is the first IDEN.
    case Hook::EnumHeader:
      metrics_.openClass(headerName(tree_, symbol.list), firstLine, "ENM");
      break;
    case Hook::ClsHeader:
      metrics_.openClass(headerName(tree_, symbol.list), firstLine, metrics_.pendingClassType());
      break;
    case Hook::RecHeader:
      metrics_.openClass(headerName(tree_, symbol.list), firstLine, Metrics::kRecordType);
      break;
    case Hook::EnumCstBody:
      metrics_.closeClass(lastLine);
      break;
    case Hook::AnonymousHeader:
      metrics_.openClass(allocatedType(tree_, symbol.list), firstLine, "AIC");
      break;
    case Hook::TypeDecln:
      // An enum declaration has closed its class already.
      if (holdsEnumAtStart(tree_, symbol.list)) break;
      metrics_.closeClass(lastLine);
      break;
    case Hook::EnumDecln:
    case Hook::AnonyClass:
      metrics_.closeClass(lastLine);
      break;
    case Hook::MethodHeader:
      metrics_.openFunction(declaratorName(tree_, symbol.list, "MtdDeclr"), firstLine,
                            signature(tree_, symbol.list));
      break;
    case Hook::CtorHeader:
      metrics_.openFunction(declaratorName(tree_, symbol.list, "CtorDeclr"), firstLine,
                            signature(tree_, symbol.list));
      break;
    case Hook::MtdDecln:
    case Hook::CtorDecln:
      metrics_.closeFunction(lastLine);
      break;
    case Hook::StaticInit:
    case Hook::NonStaticInit:
      metrics_.openFunction(std::string(Metrics::kBlockName), firstLine, std::string(Metrics::kBlockName));
      metrics_.closeFunction(lastLine);
      break;
    case Hook::Program:
      metrics_.finishFile(lexer_.line);
      program_ = symbol;
      reducedProgram_ = true;
      break;
  }
}

void ParseContext::openEnumConstantBody(const Symbol& constant) {
  // Named after the constant, as an anonymous class is after its type.
  metrics_.openClass(firstName(tree_, constant.list), tokenLine(tree_, constant.first), "AIC");
}

Symbol ParseContext::wrapEach(std::string_view name, const Symbol& pieces) {
  Symbol result;
  for (tree::PieceId piece = pieces.list.head; piece != tree::kNoPiece;) {
    const tree::PieceId following = piece == pieces.list.tail ? tree::kNoPiece : tree_.next(piece);
    Symbol one;
    tree_.cutAfter(piece);
    one.list = tree_.element(name, tree::PieceList{piece, piece});
    result = join({result, one});
    piece = following;
  }
  result.first = pieces.first;
  result.last = pieces.last;
  return result;
}

bool ParseContext::isPrimitive(const Symbol& typeSpec) const {
  // TypeSpec > TName > PrimType, each the only child.
  tree::PieceId piece = typeSpec.list.head;
  for (std::string_view name : {"TypeSpec", "TName", "PrimType"}) {
    if (piece == tree::kNoPiece || tree_.isToken(piece) || tree_.name(piece) != name) return false;
    if (name != "TypeSpec" && tree_.next(piece) != tree::kNoPiece) return false;
    piece = tree_.firstChild(piece);
  }
  return true;
}

bool ParseContext::castsToReference(const Symbol& types) const {
  // TypeSpec > TName holding PrimType (after any AnnotType, before any Dims).
  const tree::PieceId typeSpec = types.list.head;
  if (typeSpec == tree::kNoPiece || typeSpec != types.list.tail || tree_.isToken(typeSpec)) return true;
  const tree::PieceId name = tree_.firstChild(typeSpec);
  if (name == tree::kNoPiece || tree_.isToken(name) || tree_.name(name) != "TName") return true;
  for (tree::PieceId part = tree_.firstChild(name); part != tree::kNoPiece; part = tree_.next(part))
    if (!tree_.isToken(part) && tree_.name(part) == "PrimType") return false;
  return true;
}

bool ParseContext::startsWithSign(const Symbol& symbol) const {
  if (symbol.first == tree::kNoPiece) return false;
  const std::string_view name = tree_.name(symbol.first);
  return name == "ADD" || name == "SUB" || name == "INC" || name == "DEC";
}

bool ParseContext::isUnderscore(const Symbol& symbol) const {
  return symbol.first != tree::kNoPiece && symbol.first == symbol.last && tree_.isToken(symbol.first) &&
         tree_.rawText(symbol.first) == "_";
}

bool ParseContext::lambdaNames(const Symbol& expressions, Symbol& names) {
  names = Symbol{};
  // The pieces are Expr elements with CMA tokens between them.
  for (tree::PieceId piece = expressions.list.head; piece != tree::kNoPiece;) {
    const tree::PieceId following = piece == expressions.list.tail ? tree::kNoPiece : tree_.next(piece);
    Symbol part;
    if (tree_.isToken(piece)) {
      part.list = {piece, piece};
    } else {
      // Expr > Qlid > IDEN, each the only child.
      const tree::PieceId qlid = tree_.firstChild(piece);
      if (qlid == tree::kNoPiece || tree_.isToken(qlid) || tree_.name(qlid) != "Qlid" ||
          tree_.next(qlid) != tree::kNoPiece)
        return false;
      const tree::PieceId name = tree_.firstChild(qlid);
      if (name == tree::kNoPiece || !tree_.isToken(name) || tree_.name(name) != "IDEN" ||
          tree_.next(name) != tree::kNoPiece)
        return false;
      part.list = {name, name};
    }
    part.first = part.last = part.list.head;
    names = join({names, part});
    piece = following;
  }
  return true;
}

}  // namespace java
