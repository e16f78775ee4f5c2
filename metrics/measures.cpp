#include "metrics/measures.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string_view>
#include <unordered_set>

#include "frontends/java/syntax/constructs.h"

namespace metrics {

std::string CognitiveIncrement::text() const {
  const std::string added = "+" + std::to_string(value);
  return nesting == 0 ? added : added + " (incl " + std::to_string(nesting) + " for nesting)";
}

double Halstead::volume() const {
  const int64_t words = vocabulary();
  return words > 0 ? static_cast<double>(length()) * std::log2(static_cast<double>(words)) : 0.0;
}

double Halstead::difficulty() const {
  if (distinctOperands == 0) return 0.0;
  return (static_cast<double>(distinctOperators) / 2.0) *
         (static_cast<double>(operands) / static_cast<double>(distinctOperands));
}

namespace {

using syntax::Kind;
using syntax::Node;

// The elements whose operators are expression operators: an Expr, and the
// places the grammar puts a constant or conditional expression without an
// Expr around it (case labels and guards).
bool isExpressionParent(const Node& parent) {
  return parent.is(Kind::Expr) || parent.is(Kind::LblStmt) || parent.is(Kind::SwLabel) || parent.is(Kind::Guard);
}

// A `?` that is the conditional operator, not a wildcard.
bool isConditional(const Node& token) { return token.is(Kind::QUEST) && isExpressionParent(token.parent()); }

bool isOperandToken(Kind kind) {
  switch (kind) {
    case Kind::IDEN:
    case Kind::NUMLIT:
    case Kind::CHRLIT:
    case Kind::STRLIT:
    case Kind::BOOLLIT:
    case Kind::TXTBLK:
    case Kind::JNULL:
    case Kind::THIS:
    case Kind::SUPER: return true;
    default: return false;
  }
}

bool isClosingBracket(Kind kind) { return kind == Kind::CPR || kind == Kind::CSQ || kind == Kind::CBR; }

bool isDecision(Kind kind) {
  switch (kind) {
    case Kind::IF:
    case Kind::FOR:
    case Kind::DO:
    case Kind::CASE:
    case Kind::CATCH:
    case Kind::LAND:
    case Kind::LOR:
    case Kind::WHEN: return true;
    default: return false;
  }
}

// Operators and operands met, with their distinct names.
class HalsteadCounter {
 public:
  void operatorNamed(std::string_view name) {
    ++counts_.operators;
    if (met(operators_, name)) ++counts_.distinctOperators;
  }
  void operandNamed(std::string_view name) {
    ++counts_.operands;
    if (met(operands_, name)) ++counts_.distinctOperands;
  }
  const Halstead& counts() const { return counts_; }

 private:
  // Names are looked up as they are and kept only when new.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  using Names = std::unordered_set<std::string, NameHash, std::equal_to<>>;
  // Whether the name is new to the set (it is then added).
  static bool met(Names& names, std::string_view name) {
    if (names.find(name) != names.end()) return false;
    names.emplace(name);
    return true;
  }

  Halstead counts_;
  Names operators_, operands_;
};

// The operator and operand names of one token, by the rules of the header.
template <typename Counter>
void countToken(const Node& token, Counter& counter) {
  const Kind kind = token.kind();
  const std::string blanked = syntax::blankedText(token);
  const std::string_view text = blanked;
  if (isOperandToken(kind)) {
    counter.operandNamed(text);
    return;
  }
  if (isClosingBracket(kind)) return;
  const bool typeBracket = !isExpressionParent(token.parent());
  if (kind == Kind::LT && typeBracket) {
    counter.operatorNamed("<>");
    return;
  }
  // The ">", ">>" or ">>>" that closes type arguments closes what "<" counted.
  if ((kind == Kind::GT || kind == Kind::SHRR) && typeBracket) return;
  if (kind == Kind::CASTEXPR) {
    counter.operatorNamed("(");
    static const std::unordered_set<std::string_view> kWords = {"extends", "super"};
    size_t i = 0;
    while (i < text.size()) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (!(std::isalpha(byte) || text[i] == '_' || text[i] == '$' || byte >= 0x80)) {
        if (text[i] == '<') counter.operatorNamed("<>");
        if (text[i] == '.' || text[i] == ',' || text[i] == '?' || text[i] == '&') counter.operatorNamed(text.substr(i, 1));
        ++i;
        continue;
      }
      size_t end = i;
      while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_' ||
                                   text[end] == '$' || static_cast<unsigned char>(text[end]) >= 0x80))
        ++end;
      const std::string_view word = text.substr(i, end - i);
      if (kWords.count(word)) counter.operatorNamed(word);
      else counter.operandNamed(word);
      i = end;
    }
    return;
  }
  counter.operatorNamed(text);
}

// The parts of one method kept while its tokens are met.
struct OpenMethod {
  MethodMeasures measures;
  HalsteadCounter halstead;
  size_t parameters = 0;
  bool varargs = false;
};

struct Frame {
  Node node;
  int method = -1;  // into the open methods; -1 outside every method
  int nesting = 0;
};

class TreeMeasurer {
 public:
  // The tokens and elements of the nodes, each with what it holds.
  FileMeasures measure(std::vector<Frame> pending) {
    std::reverse(pending.begin(), pending.end());
    std::vector<int32_t> tokenLines;
    while (!pending.empty()) {
      const Frame frame = pending.back();
      pending.pop_back();
      if (frame.node.isToken()) {
        countToken(frame.node, file_);
        tokenLines.push_back(frame.node.line());
        if (frame.method >= 0) onToken(frame.node, methods_[frame.method]);
        continue;
      }
      visitElement(frame, pending);
    }
    FileMeasures result;
    result.halstead = file_.counts();
    tokenLines.erase(std::unique(tokenLines.begin(), tokenLines.end()), tokenLines.end());
    for (OpenMethod& open : methods_) {
      MethodMeasures& method = open.measures;
      method.halstead = open.halstead.counts();
      if (method.line == method.endLine) {
        method.nloc = 1;
      } else {
        const auto first = std::lower_bound(tokenLines.begin(), tokenLines.end(), method.line);
        const auto last = std::upper_bound(tokenLines.begin(), tokenLines.end(), method.endLine);
        method.nloc = std::max<int64_t>(1, last - first);
      }
      if (!method.hasBody) {
        method.cyclomatic = method.cognitive = 0;
        method.cognitiveIncrements.clear();
      }
      result.methods.push_back(std::move(method));
    }
    return result;
  }

 private:
  static void onToken(const Node& token, OpenMethod& method) {
    countToken(token, method.halstead);
    if (isDecision(token.kind()) || isConditional(token)) ++method.measures.cyclomatic;
    // The while of a do statement is part of the do.
    if (token.is(Kind::WHILE) && !token.parent().firstChild().is(Kind::DO)) ++method.measures.cyclomatic;
  }

  int openMethod(const Node& element) {
    OpenMethod open;
    MethodMeasures& m = open.measures;
    m.cyclomatic = 1;
    m.line = element.firstLine();
    m.endLine = element.lastLine();
    m.nameLine = m.line;
    m.hasBody = true;
    const bool method = element.is(Kind::MtdDecln);
    if (method || element.is(Kind::CtorDecln)) {
      m.kind = method ? MethodMeasures::Kind::Method : MethodMeasures::Kind::Constructor;
      const Node declarator = element.child(method ? Kind::MtdDeclr : Kind::CtorDeclr);
      const Node name = declarator.child(Kind::IDEN);
      m.name = syntax::blankedText(name);
      m.nameLine = name.line();
      for (Node param : declarator.children()) {
        if (!param.is(Kind::Param)) continue;
        ++open.parameters;
        if (param.child(Kind::ELL)) open.varargs = true;
      }
      if (method) m.hasBody = static_cast<bool>(element.child(Kind::MtdBody).child(Kind::Blk));
    } else {
      m.kind = MethodMeasures::Kind::Initializer;
      m.name = "#Block#";
    }
    methods_.push_back(std::move(open));
    return static_cast<int>(methods_.size()) - 1;
  }

  // A call of the method itself: its own name alone or on this, with as
  // many arguments (a varargs method: at least all but the last).
  static bool isSelfCall(const Node& call, const OpenMethod& method) {
    if (method.measures.kind != MethodMeasures::Kind::Method) return false;
    // Its tokens without explicit type arguments: this.<T>f(x) is f(x).
    const syntax::MethodCall called(call);
    std::vector<Node> callee;
    int typeArguments = 0;
    for (Node token : called.callee().tokens()) {
      if (token.is(Kind::LT)) ++typeArguments;
      else if (token.is(Kind::GT)) --typeArguments;
      else if (token.is(Kind::SHRR)) typeArguments -= 3;
      else if (typeArguments <= 0) callee.push_back(token);
    }
    const bool plain = callee.size() == 1;
    const bool onThis = callee.size() == 3 && callee[0].is(Kind::THIS) && callee[1].is(Kind::DOT);
    if (!(plain || onThis) || !callee.back().is(Kind::IDEN) || method.measures.name != syntax::blankedText(callee.back()))
      return false;
    const size_t arguments = called.arguments().size();
    return method.varargs ? arguments + 1 >= method.parameters : arguments == method.parameters;
  }

  // An if that is the else branch of another if.
  static bool isElseIf(const Node& ifStatement) {
    const Node stmt = ifStatement.parent();
    return stmt.is(Kind::Stmt) && syntax::IfStatement::of(stmt.parent()).otherwise() == stmt;
  }

  void visitElement(const Frame& frame, std::vector<Frame>& pending) {
    const Node& node = frame.node;
    if (node.is(Kind::MtdDecln) || node.is(Kind::CtorDecln) || node.is(Kind::StaticInit) ||
        node.is(Kind::NonStaticInit)) {
      const int method = openMethod(node);
      pushChildren(node, method, [](const Node&, int) { return 0; }, pending);
      return;
    }
    if (frame.method < 0) {
      pushChildren(node, -1, [](const Node&, int) { return 0; }, pending);
      return;
    }
    OpenMethod& method = methods_[frame.method];
    const int n = frame.nesting;
    const Node head = node.firstChild();
    const auto same = [n](const Node&, int) { return n; };
    const auto deeper = [n](const Node&, int) { return n + 1; };
    // Bodies (Stmt, Blk, SwBlk) one level deeper; the rest where it stands.
    const auto bodiesDeeper = [n](const Node& child, int) {
      return child.is(Kind::Stmt) || child.is(Kind::Blk) || child.is(Kind::SwBlk) ? n + 1 : n;
    };

    MethodMeasures& measures = method.measures;
    countOperatorRuns(node, measures);
    if (const syntax::IfStatement statement = syntax::IfStatement::of(node)) {
      add(measures, head, isElseIf(node) ? 0 : n);
      const Node otherwise = statement.otherwise();
      pushChildren(node, frame.method,
                   [&](const Node& child, int) {
                     if (!child.is(Kind::Stmt)) return n;
                     if (child != otherwise) return n + 1;
                     // An else if stays on the level of its chain; an else goes in.
                     if (syntax::IfStatement::of(syntax::Statement(child).construct())) return n;
                     add(measures, child.previousSibling(), 0);
                     return n + 1;
                   },
                   pending);
      return;
    }
    if (node.is(Kind::SelStmt) || node.is(Kind::SwExpr) || node.is(Kind::IterStmt) || node.is(Kind::Catch)) {
      add(measures, head, n);
      pushChildren(node, frame.method, bodiesDeeper, pending);
      return;
    }
    if (node.is(Kind::LambdaExpr) || node.is(Kind::AnonyClass) || node.is(Kind::EnumCstBody) ||
        node.is(Kind::TypeDecln)) {
      pushChildren(node, frame.method, deeper, pending);
      return;
    }
    if (node.is(Kind::JumpStmt) && (head.is(Kind::BREAK) || head.is(Kind::CONTINUE)) &&
        syntax::JumpStatement(node).label())
      add(measures, head, 0);
    if (node.is(Kind::MtdCall) && isSelfCall(node, method)) add(measures, node.child(Kind::MtdAcc).lastToken(), 0);
    if (isExpressionParent(node)) {
      // The operands of a conditional operator are nested in it.
      bool afterQuestion = false;
      pushChildren(node, frame.method,
                   [&](const Node& child, int) {
                     if (isConditional(child)) {
                       add(measures, child, n);
                       afterQuestion = true;
                     }
                     return afterQuestion ? n + 1 : n;
                   },
                   pending);
      return;
    }
    pushChildren(node, frame.method, same, pending);
  }

  // One increment for each run of like operators among && and || that
  // stand directly in the node.
  static void countOperatorRuns(const Node& node, MethodMeasures& measures) {
    if (!isExpressionParent(node)) return;
    Kind previous = Kind::Other;
    for (Node child : node.children()) {
      const Kind kind = child.kind();
      if (kind != Kind::LAND && kind != Kind::LOR) continue;
      if (kind != previous) add(measures, child, 0);
      previous = kind;
    }
  }

  // Cognitive complexity grows by 1 plus the nesting at the token (or an
  // element's first token).
  static void add(MethodMeasures& measures, const Node& at, int nesting) {
    const Node token = at.isToken() ? at : at.firstToken();
    measures.cognitive += 1 + nesting;
    measures.cognitiveIncrements.push_back(
        {token.line(), token.column(), std::string(syntax::blankedText(token)), 1 + nesting, nesting});
  }

  // Pushes the element children so that they are taken in document order,
  // each with the nesting level levelOf gives it (called in document order).
  template <typename LevelOf>
  static void pushChildren(const Node& node, int method, LevelOf&& levelOf, std::vector<Frame>& pending) {
    const size_t start = pending.size();
    int index = 0;
    for (Node child : node.children()) pending.push_back({child, method, levelOf(child, index++)});
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(start), pending.end());
  }

  HalsteadCounter file_;
  std::vector<OpenMethod> methods_;
};

}  // namespace

FileMeasures measureTree(const syntax::Tree& tree) {
  // The document holds Program; its children are the file's parts.
  const Node program = tree.root().firstChild();
  if (!program) return FileMeasures();
  std::vector<Frame> parts;
  for (Node child : program.children()) parts.push_back({child, -1, 0});
  return TreeMeasurer().measure(std::move(parts));
}

std::optional<MethodMeasures> measureDeclaration(const syntax::Node& declaration) {
  if (!(declaration.is(Kind::MtdDecln) || declaration.is(Kind::CtorDecln) || declaration.is(Kind::StaticInit) ||
        declaration.is(Kind::NonStaticInit)))
    return std::nullopt;
  FileMeasures measured = TreeMeasurer().measure({Frame{declaration, -1, 0}});
  // The first method opened is the declaration itself (any after it are of classes inside it).
  if (measured.methods.empty()) return std::nullopt;
  return std::move(measured.methods.front());
}

}  // namespace metrics
