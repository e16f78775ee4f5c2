// The token filter of the modern levels.  Java 9 and later have words that
// are keywords only in some places and ordinary names everywhere else
// (record, yield, sealed, non-sealed, permits, when and the words of module
// declarations).  A grammar that took them as keywords everywhere would
// refuse the programs that use them as names, and one that took them as
// names would need to decide between a name and a keyword where one token
// of lookahead cannot.  The filter decides from the tokens around the word,
// as the Java compiler does, and hands the grammar a keyword token or IDEN.
//
// Counting: the scanner leaves these words uncounted; the filter counts a
// keyword as an operator under its token name (WHEN also as a decision
// point, a guard being a condition) and a name as an operand, as any name.
#include <algorithm>
#include <array>

#include "frontends/java/parse_context.h"
#include "java_modern_parser.hpp"

namespace java {
namespace {

constexpr std::array<std::string_view, 16> kContextualWords = {
    "record", "yield", "sealed", "permits", "when", "module", "open", "requires",
    "transitive", "exports", "opens", "to", "uses", "provides", "with", "non"};

bool isModifierKeyword(int kind) {
  switch (kind) {
    case ABSTRACT: case FINAL: case PUBLIC: case PROTECTED: case PRIVATE: case STATIC:
    case STRICTFP: case CLASS: case INTERFACE: case AT_SYM: case SEALED: case NONSEALED:
      return true;
    default:
      return false;
  }
}

// Tokens after which a statement may start.
bool endsStatementStart(int kind) {
  switch (kind) {
    case SEMI: case OBR: case CBR: case COL: case ARROW: case ELSE: case DO: case CPR:
      return true;
    default:
      return false;
  }
}

// Tokens that can begin the expression of a yield statement (a name
// followed by one of these cannot be an expression of its own).
bool beginsYieldValue(int kind) {
  switch (kind) {
    case IDEN: case NUMLIT: case STRLIT: case CHRLIT: case BOOLLIT: case TXTBLK: case JNULL:
    case NEW: case SWITCH: case THIS: case SUPER: case OPR: case CASTEXPR: case ADD: case SUB:
    case EXCL: case TILD: case BOOLEAN: case CHAR: case BYTE: case SHORT: case INT: case LONG:
    case FLOAT: case DOUBLE: case VOID:
      return true;
    default:
      return false;
  }
}

// The bytes of a literal that XML text cannot hold (a zero byte, other
// control characters but tab, line feed and carriage return) are written
// in the tree as octal escapes, \000 or \001, which mean the same
// character (three digits, so that no digit after one joins it).
bool outsideXml(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

bool holdsBytesOutsideXml(int kind, std::string_view text) {
  return (kind == STRLIT || kind == CHRLIT || kind == TXTBLK) && std::any_of(text.begin(), text.end(), outsideXml);
}

std::string withOctalEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (!outsideXml(c)) {
      out += c;
      continue;
    }
    const auto byte = static_cast<unsigned char>(c);
    out += '\\';
    out += static_cast<char>('0' + (byte >> 6));
    out += static_cast<char>('0' + ((byte >> 3) & 7));
    out += static_cast<char>('0' + (byte & 7));
  }
  return out;
}

}  // namespace

bool isContextualWord(std::string_view word) {
  return std::find(kContextualWords.begin(), kContextualWords.end(), word) != kContextualWords.end();
}

const ParseContext::Scanned& ParseContext::peek(size_t n) {
  while (ahead_.size() <= n) {
    if (!ahead_.empty() && ahead_.back().kind == 0) return ahead_.back();
    Scanned next;
    next.kind = scanner_.next();
    if (next.kind != 0) {
      next.text = std::string(scanner_.text());
      next.column = lexer_.column - static_cast<int>(next.text.size());
      lexer_.previousToken = next.kind;
      if (holdsBytesOutsideXml(next.kind, next.text)) next.text = withOctalEscapes(next.text);
    }
    next.line = lexer_.line;
    ahead_.push_back(std::move(next));
  }
  return ahead_[n];
}

int ParseContext::classifyWord(const Scanned& word) {
  const std::string_view text = word.text;
  const auto wordIs = [](const Scanned& token, std::string_view w) { return token.kind == IDEN && token.text == w; };
  if (text == "record" && since(16)) {
    // record Name( or record Name<: a record declaration.
    if (peek(0).kind == IDEN && (peek(1).kind == OPR || peek(1).kind == LT)) return RECORD;
  } else if (text == "yield" && since(14)) {
    if (endsStatementStart(lastKind_)) {
      const int next = peek(0).kind;
      if (beginsYieldValue(next)) return YIELD;
      if ((next == INC || next == DEC) && peek(1).kind != SEMI) return YIELD;
    }
  } else if (text == "sealed" && since(17)) {
    if (isModifierKeyword(peek(0).kind) || wordIs(peek(0), "non") || wordIs(peek(0), "record")) return SEALED;
  } else if (text == "non" && since(17)) {
    // non-sealed, written without blanks, before a declaration.
    const Scanned& dash = peek(0);
    if (dash.kind == SUB && dash.line == word.line && dash.column == word.column + 3) {
      const Scanned& sealed = peek(1);
      if (wordIs(sealed, "sealed") && sealed.line == word.line && sealed.column == word.column + 4 &&
          (isModifierKeyword(peek(2).kind) || wordIs(peek(2), "record")))
        return NONSEALED;
    }
  } else if (text == "permits" && since(17)) {
    if (peek(0).kind == IDEN) return PERMITS;
  } else if (text == "when" && since(21)) {
    const int next = peek(0).kind;
    if (inCaseLabel_ && (lastKind_ == IDEN || lastKind_ == CPR) && next != ARROW && next != COL && next != CMA)
      return WHEN;
  } else if (moduleDepth_ >= 0 && braceDepth_ == moduleDepth_ + 1) {
    // Inside a module declaration's body.
    if (lastKind_ == OBR || lastKind_ == SEMI) {
      if (text == "requires") return REQUIRES;
      if (text == "exports") return EXPORTS;
      if (text == "opens") return OPENS;
      if (text == "uses") return USES;
      if (text == "provides") return PROVIDES;
    } else if (text == "transitive" && (lastKind_ == REQUIRES || lastKind_ == STATIC) &&
               (peek(0).kind == IDEN || peek(0).kind == STATIC)) {
      return TRANSITIVE;
    } else if (text == "to" && lastKind_ == IDEN && (directive_ == EXPORTS || directive_ == OPENS)) {
      return TO;
    } else if (text == "with" && lastKind_ == IDEN && directive_ == PROVIDES) {
      return WITH;
    }
  } else if (text == "module" && since(9)) {
    if (lastKind_ == IMPORT) {
      if (since(25) && peek(0).kind == IDEN) return MODULE;
    } else if (braceDepth_ == 0 && peek(0).kind == IDEN) {
      return MODULE;
    }
  } else if (text == "open" && since(9)) {
    if (braceDepth_ == 0 && wordIs(peek(0), "module") && peek(1).kind == IDEN) return OPEN;
  }
  return IDEN;
}

// Whether the parenthesis just read opens lambda parameters whose first
// type is qualified or generic: a name, then a dot or "<", then only what a
// parameter list holds up to the closing parenthesis, then the arrow.  The
// look ahead stops at the first token a parameter list cannot hold, so it
// never passes the end of the expression it is in.
bool ParseContext::opensTypedLambdaParameters() {
  if (peek(0).kind != IDEN || (peek(1).kind != DOT && peek(1).kind != LT)) return false;
  // In a case label the arrow after the parentheses ends the label:
  // case (Color.RED) -> ...
  if (inCaseLabel_ && caseParens_ <= 0) return false;
  constexpr size_t kLongestLook = 64;
  for (size_t n = 2; n < kLongestLook; ++n) {
    switch (peek(n).kind) {
      case CPR:
        return peek(n + 1).kind == ARROW;
      case AT_SYM:
        // An annotation among the types, List<@A T>: on after it.
        n = afterAnnotation(n + 1);
        if (n == static_cast<size_t>(-1)) return false;
        --n;
        break;
      case IDEN: case DOT: case LT: case GT: case SHRR: case CMA: case QUEST: case EXTENDS: case SUPER:
      case AMP: case DIM: case ELL: case FINAL: case BOOLEAN: case CHAR: case BYTE: case SHORT: case INT:
      case LONG: case FLOAT: case DOUBLE:
        break;
      default:
        return false;
    }
  }
  return false;
}

// Whether the "<" just read, after a name, opens type arguments that a
// method reference (List<T>::size, Class<?>[]::new, Outer<T>.Inner::new), a
// cast to a generic type ("(" before the name, ")" after the arguments and
// brackets) or, in a case label, a pattern (case List<T> l, case Box<T>(var
// v)) follows: up to its closing ">" there are only tokens type arguments
// hold.  In a case label "<" is otherwise a comparison: case a < b ? 1 : 2.
bool ParseContext::opensMarkedTypeArguments() {
  if (lastKind_ != IDEN) return false;
  constexpr size_t kNotFound = static_cast<size_t>(-1);
  constexpr size_t kLongestLook = 256;
  bool annotated = false;
  const size_t closed = afterTypeArguments(0, 1, annotated);
  if (closed == kNotFound) return false;
  size_t after = closed;
  // The names of member types, each with its own type arguments.
  while (after < kLongestLook && peek(after).kind == DOT && peek(after + 1).kind == IDEN) {
    after += 2;
    if (peek(after).kind != LT) continue;
    after = afterTypeArguments(after + 1, 1, annotated);
    if (after == kNotFound) return false;
  }
  const bool member = after != closed;
  while (peek(after).kind == DIM) ++after;
  const int next = peek(after).kind;
  if (next == COLCOL) return true;
  if (inCaseLabel_ && caseParens_ <= 0 && since(16)) return next == IDEN || next == OPR;
  return !member && next == CPR && beforeName_ == OPR;
}

// Follows what the contextual words depend on: braces, case labels and
// module declarations.
void ParseContext::followStructure(int kind) {
  switch (kind) {
    case OBR:
      ++braceDepth_;
      break;
    case CBR:
      --braceDepth_;
      if (moduleDepth_ >= 0 && braceDepth_ <= moduleDepth_) moduleDepth_ = -1;
      break;
    case CASE:
      inCaseLabel_ = true;
      caseParens_ = 0;
      break;
    case OPR:
    case LPARAMS:
    case LCAST:
      ++caseParens_;
      break;
    case CPR:
      --caseParens_;
      break;
    case ARROW:
    case COL:
      if (caseParens_ <= 0) inCaseLabel_ = false;
      break;
    case MODULE:
      if (lastKind_ != IMPORT) moduleDepth_ = braceDepth_;
      break;
    case REQUIRES: case EXPORTS: case OPENS: case USES: case PROVIDES:
      directive_ = kind;
      break;
    default:
      break;
  }
}

int ParseContext::nextModernToken(Symbol& value) {
  Scanned current;
  std::string_view text;
  if (!ahead_.empty()) {
    current = std::move(ahead_.front());
    ahead_.pop_front();
    text = current.text;
  } else {
    current.kind = scanner_.next();
    if (current.kind == 0) return 0;
    text = scanner_.text();
    current.column = lexer_.column - static_cast<int>(text.size());
    current.line = lexer_.line;
    lexer_.previousToken = current.kind;
    if (holdsBytesOutsideXml(current.kind, text)) {
      current.text = withOctalEscapes(text);
      text = current.text;
    }
  }
  if (current.kind == 0) return 0;

  int kind = current.kind;
  if (kind == OPR) {
    if (current.text.empty()) current.text = std::string(text);  // peeking moves the scanner on
    text = current.text;
    if (since(8) && opensTypedLambdaParameters()) kind = LPARAMS;
    else if (opensMarkedCast()) kind = LCAST;
  } else if (kind == LT && since(8) && lastKind_ == IDEN) {
    if (current.text.empty()) current.text = std::string(text);
    text = current.text;
    if (opensMarkedTypeArguments()) kind = LTYPEARGS;
  } else if (kind == LT && lastKind_ != IDEN) {
    if (current.text.empty()) current.text = std::string(text);
    text = current.text;
    if (opensConstructorTypeArguments()) kind = LTYPEARGS;
  } else if (kind == AT_SYM && since(8)) {
    if (current.text.empty()) current.text = std::string(text);
    text = current.text;
    kind = classifyAnnotation();
  } else if (kind == IDEN && isContextualWord(text)) {
    if (current.text.empty()) current.text = std::string(text);  // peeking moves the scanner on
    kind = classifyWord(current);
    if (kind == NONSEALED) {
      // The dash and "sealed" join "non" in one token.
      ahead_.pop_front();
      ahead_.pop_front();
      current.text = "non-sealed";
    }
    text = current.text;
    if (kind == IDEN) {
      metrics_.countOperand(text);
    } else {
      metrics_.countOperator(tokenName(kind));
      if (kind == WHEN) metrics_.countDecision();
    }
  }
  followStructure(kind);
  followTypeLists(kind);
  if (kind == IDEN && lastKind_ != DOT) beforeName_ = lastKind_;
  value.list = tree_.token(tokenName(kind), current.line, current.column, text);
  value.first = value.last = value.list.head;
  lastKind_ = kind;
  handedLine_ = current.line;
  metrics_.tokenLine(current.line);
  return kind;
}

int parseAtLevel(ParseContext& context) {
  return context.lexer().level >= kFirstModernLevel ? parseModernTokens(context) : parseTokens(context);
}

}  // namespace java
