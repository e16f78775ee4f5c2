#include "parse_context.h"

#include "frontends/java/tree_readings.h"

namespace java {

int ParseContext::nextToken(Symbol& value) {
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
    case Hook::EnumHeader:
      metrics_.openClass(firstName(tree_, symbol.list), firstLine, "ENM");
      break;
    case Hook::ClsHeader:
      metrics_.openClass(firstName(tree_, symbol.list), firstLine, metrics_.pendingClassType());
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

}  // namespace java
