// The token filter's marks for types that the grammar must know are types
// before it reads them (contextual_words.cpp holds the rest of the filter):
// the "@" of an annotation of a type, and the parenthesis of a cast whose
// type holds annotations or is a member of a parameterized type.
//
// With one token of lookahead an LALR grammar cannot tell "String @A []"
// (a type going on) from "String @A ..." (a type ended before varargs), an
// annotation of a type after "<T>" from one of the method, or "(@A T) x" from
// "(a) - x".  The Java compiler's parser decides these by reading ahead; so
// does the filter, over the annotation (its name and arguments) to the token
// after it, or over a cast's type to its ")".  It hands the grammar a token
// of its own for each case; the tree writes them as the tokens they are
// (AT_SYM, OPR), and the rules for them are new, so every form the grammar
// read before is read as before.
#include "frontends/java/parse_context.h"
#include "java_modern_parser.hpp"

namespace java {
namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);
// How far the filter reads ahead for one decision.
constexpr size_t kLongestLook = 256;

bool isPrimitiveWord(int kind) {
  switch (kind) {
    case BOOLEAN: case CHAR: case BYTE: case SHORT: case INT: case LONG: case FLOAT: case DOUBLE:
      return true;
    default:
      return false;
  }
}

bool isAt(int kind) {
  return kind == AT_SYM || kind == AT_TYPE || kind == AT_DIMS || kind == AT_SIZE || kind == AT_ELL;
}

}  // namespace

// n: the token after an "@".  The index past the annotation (its name, and
// its arguments in parentheses), or kNotFound.
size_t ParseContext::afterAnnotation(size_t n) {
  if (n >= kLongestLook || peek(n).kind != IDEN) return kNotFound;
  ++n;
  while (n < kLongestLook && peek(n).kind == DOT && peek(n + 1).kind == IDEN) n += 2;
  if (peek(n).kind != OPR) return n;
  int depth = 0;
  for (; n < kLongestLook; ++n) {
    const int kind = peek(n).kind;
    if (kind == 0) return kNotFound;
    if (kind == OPR) ++depth;
    if (kind == CPR && --depth == 0) return n + 1;
  }
  return kNotFound;
}

// Past the annotations from n on (none: n); found says whether there were.
size_t ParseContext::afterAnnotations(size_t n, bool& found) {
  while (n != kNotFound && isAt(peek(n).kind)) {
    found = true;
    n = afterAnnotation(n + 1);
  }
  return n;
}

// n: the token after the "<" of type arguments, depth the lists open there
// (1 after the first "<").  The index past the ">" that closes them, or
// kNotFound when what follows is no list of type arguments.
size_t ParseContext::afterTypeArguments(size_t n, int depth, bool& annotated) {
  while (n < kLongestLook) {
    const int kind = peek(n).kind;
    if (isAt(kind)) {
      annotated = true;
      n = afterAnnotation(n + 1);
      if (n == kNotFound) return kNotFound;
      continue;
    }
    switch (kind) {
      case LT: ++depth; break;
      case GT: --depth; break;
      case SHRR: depth -= 3; break;
      case IDEN: case DOT: case CMA: case QUEST: case EXTENDS: case SUPER: case AMP: case DIM:
        break;
      default:
        if (!isPrimitiveWord(kind)) return kNotFound;
    }
    ++n;
    if (depth < 0) return kNotFound;
    if (depth == 0) return n;
  }
  return kNotFound;
}

// Whether the "(" just read opens a cast the expression grammar cannot
// read: up to its ")" one type or an intersection of them (A & B), holding
// an annotation (from Java 8) or a member type of a parameterized type,
// Graph<?>.Edge, or an intersection with type arguments, (A & B<C<D>>).
// An expression never holds an annotation, nor a ">" that a "." follows or
// that ends a term of "&".  A parameter list has a name after its type,
// and is not taken.
bool ParseContext::opensMarkedCast() {
  // A call's parenthesis, f( or if (, opens no cast: most are not looked at.
  switch (lastKind_) {
    case IDEN: case THIS: case SUPER: case IF: case WHILE: case FOR: case SWITCH: case CATCH:
    case SYNCHRONIZED: case TRY:
      return false;
    default:
      break;
  }
  bool annotated = false;
  bool memberOfGeneric = false;
  bool generic = false;
  bool intersection = false;
  size_t n = 0;
  for (;;) {
    n = afterAnnotations(n, annotated);
    if (n == kNotFound || n >= kLongestLook) return false;
    if (isPrimitiveWord(peek(n).kind)) {
      ++n;
    } else if (peek(n).kind == IDEN) {
      ++n;
      for (;;) {
        if (peek(n).kind == LT) {
          n = afterTypeArguments(n + 1, 1, annotated);
          if (n == kNotFound) return false;
          generic = true;
          if (peek(n).kind == DOT) memberOfGeneric = true;
        }
        if (peek(n).kind != DOT) break;
        n = afterAnnotations(n + 1, annotated);
        if (n == kNotFound || n >= kLongestLook || peek(n).kind != IDEN) return false;
        ++n;
      }
    } else {
      return false;
    }
    // Array brackets, each with its annotations.
    for (;;) {
      bool dimsAnnotated = false;
      const size_t bracket = afterAnnotations(n, dimsAnnotated);
      if (bracket == kNotFound || bracket >= kLongestLook || peek(bracket).kind != DIM) break;
      annotated = annotated || dimsAnnotated;
      n = bracket + 1;
    }
    if (peek(n).kind != AMP) break;
    intersection = true;
    ++n;
  }
  return peek(n).kind == CPR && (memberOfGeneric || ((annotated || (intersection && generic)) && since(8)));
}

// What the "@" just read begins: an annotation of a declaration (AT_SYM)
// or one of a type (AT_TYPE before the type, AT_DIMS before "[]", AT_SIZE
// before "[n]", AT_ELL before "...").  Several annotations in a row are one
// run: the later "@"s of the run, read ahead already, are marked as the
// first.
int ParseContext::classifyAnnotation() {
  std::vector<size_t> run;
  size_t after = afterAnnotation(0);
  while (after != kNotFound && peek(after).kind == AT_SYM) {
    run.push_back(after);
    after = afterAnnotation(after + 1);
  }
  if (after == kNotFound) return AT_SYM;
  int kind = AT_SYM;
  switch (peek(after).kind) {
    // Only a type's brackets or ellipsis follow an annotation.
    case DIM: kind = AT_DIMS; break;
    case OSQ: kind = AT_SIZE; break;
    case ELL: kind = AT_ELL; break;
    default:
      if (startsTypeAnnotation() || referencesMethodOfType(after)) kind = AT_TYPE;
  }
  for (size_t at : run) ahead_[at].kind = kind;
  return kind;
}

// Whether the "<" just read, at the start of a statement, opens the type
// arguments of a constructor's call of another, <T>this(t) or <T>super(t).
bool ParseContext::opensConstructorTypeArguments() {
  if (lastKind_ != OBR && lastKind_ != SEMI && lastKind_ != CBR) return false;
  bool annotated = false;
  const size_t n = afterTypeArguments(0, 1, annotated);
  return n != kNotFound && (peek(n).kind == THIS || peek(n).kind == SUPER) && peek(n + 1).kind == OPR;
}

// Whether a type whose name is at n is that of a method reference,
// @A List<T>::size: a name, its type arguments and brackets, then "::".
bool ParseContext::referencesMethodOfType(size_t n) {
  if (peek(n).kind != IDEN) return false;
  ++n;
  while (n < kLongestLook && peek(n).kind == DOT && peek(n + 1).kind == IDEN) n += 2;
  if (peek(n).kind == LT) {
    bool annotated = false;
    n = afterTypeArguments(n + 1, 1, annotated);
    if (n == kNotFound) return false;
  }
  while (n < kLongestLook && peek(n).kind == DIM) ++n;
  return peek(n).kind == COLCOL;
}

// Whether an annotation after the token handed out last stands before a
// type where no declaration can start: "? extends @A T", "new @A T()",
// "java.lang.@A String", "<T> @A T f()", "throws @A E, @B F",
// "(@A T) x" (the parenthesis of a marked cast).
bool ParseContext::startsTypeAnnotation() const {
  switch (lastKind_) {
    case EXTENDS: case SUPER: case AMP: case IMPLEMENTS: case THROWS: case NEW: case DOT:
    case GT: case SHRR: case PIPE: case LCAST:
      return true;
    case CMA:
      return typeList_ && typeListDepth_ == 0;
    default:
      return false;
  }
}

// Follows the lists of types of a declaration's header (extends, implements,
// throws), where a "," goes on to the next type.  (The classes a permits
// clause names are names, without annotations.)
void ParseContext::followTypeLists(int kind) {
  if (headerOpen_ || typeList_) {
    const int change = kind == LT || kind == LTYPEARGS ? 1 : kind == GT ? -1 : kind == SHRR ? -3 : 0;
    headerDepth_ += change;
    typeListDepth_ += change;
  }
  switch (kind) {
    case CLASS: case INTERFACE: case ENUM: case RECORD:
      if (lastKind_ != DOT) {
        headerOpen_ = true;
        headerDepth_ = 0;
      }
      break;
    case EXTENDS:
      // Not the bound of a type parameter or wildcard.
      if (!headerOpen_ || headerDepth_ != 0) break;
      [[fallthrough]];
    case IMPLEMENTS: case THROWS:
      typeList_ = true;
      typeListDepth_ = 0;
      break;
    case OBR: case SEMI: case PERMITS:
      headerOpen_ = typeList_ = false;
      break;
    default:
      break;
  }
}

}  // namespace java
