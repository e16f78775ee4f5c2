#include "metrics/measures.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_set>

namespace metrics {

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

using pugi::xml_node;

bool named(const xml_node& node, const char* name) { return std::strcmp(node.name(), name) == 0; }
bool isToken(const xml_node& node) { return static_cast<bool>(node.attribute("t")); }

xml_node firstElement(const xml_node& node) {
  for (xml_node child = node.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element) return child;
  return xml_node();
}

xml_node previousElement(const xml_node& node) {
  for (xml_node sibling = node.previous_sibling(); sibling; sibling = sibling.previous_sibling())
    if (sibling.type() == pugi::node_element) return sibling;
  return xml_node();
}

// The elements whose operators are expression operators: an Expr, and the
// places the grammar puts a constant or conditional expression without an
// Expr around it (case labels and guards).
bool isExpressionParent(const xml_node& parent) {
  return named(parent, "Expr") || named(parent, "LblStmt") || named(parent, "SwLabel") || named(parent, "Guard");
}

// A `?` that is the conditional operator, not a wildcard.
bool isConditional(const xml_node& token) { return named(token, "QUEST") && isExpressionParent(token.parent()); }

bool isOperandToken(const char* name) {
  static const std::unordered_set<std::string_view> kOperands = {"IDEN",   "NUMLIT", "CHRLIT", "STRLIT", "BOOLLIT",
                                                                 "TXTBLK", "JNULL",  "THIS",   "SUPER"};
  return kOperands.count(name) > 0;
}

bool isClosingBracket(const char* name) {
  return std::strcmp(name, "CPR") == 0 || std::strcmp(name, "CSQ") == 0 || std::strcmp(name, "CBR") == 0;
}

int32_t lineOf(const xml_node& token) { return token.attribute("l").as_int(); }

// The tokens of a node, in document order, without recursion.
template <typename Visit>
void forEachToken(const xml_node& node, Visit&& visit) {
  if (isToken(node)) {
    visit(node);
    return;
  }
  const xml_node end = node;
  xml_node current = node.first_child();
  while (current && current != end) {
    if (current.type() == pugi::node_element && isToken(current)) visit(current);
    if (current.type() == pugi::node_element && !isToken(current) && current.first_child()) {
      current = current.first_child();
      continue;
    }
    while (current != end && !current.next_sibling()) current = current.parent();
    if (current != end) current = current.next_sibling();
  }
}

// Operators and operands met, with their distinct names.
class HalsteadCounter {
 public:
  void operatorNamed(std::string_view name) {
    ++counts_.operators;
    if (operators_.insert(std::string(name)).second) ++counts_.distinctOperators;
  }
  void operandNamed(std::string_view name) {
    ++counts_.operands;
    if (operands_.insert(std::string(name)).second) ++counts_.distinctOperands;
  }
  const Halstead& counts() const { return counts_; }

 private:
  Halstead counts_;
  std::unordered_set<std::string> operators_, operands_;
};

// The operator and operand names of one token, by the rules of the header.
template <typename Counter>
void countToken(const xml_node& token, Counter& counter) {
  const char* name = token.name();
  const std::string_view text = token.attribute("t").value();
  if (isOperandToken(name)) {
    counter.operandNamed(text);
    return;
  }
  if (isClosingBracket(name)) return;
  const bool typeBracket = !isExpressionParent(token.parent());
  if (std::strcmp(name, "LT") == 0 && typeBracket) {
    counter.operatorNamed("<>");
    return;
  }
  // The ">", ">>" or ">>>" that closes type arguments closes what "<" counted.
  if ((std::strcmp(name, "GT") == 0 || std::strcmp(name, "SHRR") == 0) && typeBracket) return;
  if (std::strcmp(name, "CASTEXPR") == 0) {
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
  xml_node node;
  int method = -1;  // into the open methods; -1 outside every method
  int nesting = 0;
};

class TreeMeasurer {
 public:
  FileMeasures measure(const xml_node& root) {
    std::vector<Frame> pending;
    for (xml_node child = root.last_child(); child; child = child.previous_sibling())
      if (child.type() == pugi::node_element) pending.push_back({child, -1, 0});
    std::vector<int32_t> tokenLines;
    while (!pending.empty()) {
      const Frame frame = pending.back();
      pending.pop_back();
      if (isToken(frame.node)) {
        countToken(frame.node, file_);
        tokenLines.push_back(lineOf(frame.node));
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
      if (!method.hasBody) method.cyclomatic = method.cognitive = 0;
      result.methods.push_back(std::move(method));
    }
    return result;
  }

 private:
  static void onToken(const xml_node& token, OpenMethod& method) {
    countToken(token, method.halstead);
    const char* name = token.name();
    static const std::unordered_set<std::string_view> kDecisions = {"IF",    "FOR", "DO",  "CASE",
                                                                    "CATCH", "LAND", "LOR", "WHEN"};
    if (kDecisions.count(name) || isConditional(token)) ++method.measures.cyclomatic;
    // The while of a do statement is part of the do.
    if (std::strcmp(name, "WHILE") == 0 && !named(firstElement(token.parent()), "DO")) ++method.measures.cyclomatic;
  }

  int openMethod(const xml_node& element) {
    OpenMethod open;
    MethodMeasures& m = open.measures;
    m.cyclomatic = 1;
    bool first = true;
    forEachToken(element, [&](const xml_node& token) {
      if (first) m.line = lineOf(token);
      first = false;
      m.endLine = lineOf(token);
    });
    m.nameLine = m.line;
    m.hasBody = true;
    const bool method = named(element, "MtdDecln");
    if (method || named(element, "CtorDecln")) {
      m.kind = method ? MethodMeasures::Kind::Method : MethodMeasures::Kind::Constructor;
      const xml_node declarator = element.child(method ? "MtdDeclr" : "CtorDeclr");
      const xml_node name = declarator.child("IDEN");
      m.name = name.attribute("t").value();
      m.nameLine = lineOf(name);
      for (xml_node param = declarator.child("Param"); param; param = param.next_sibling("Param")) {
        ++open.parameters;
        if (param.child("ELL")) open.varargs = true;
      }
      if (method) m.hasBody = static_cast<bool>(element.child("MtdBody").child("Blk"));
    } else {
      m.kind = MethodMeasures::Kind::Initializer;
      m.name = "#Block#";
    }
    methods_.push_back(std::move(open));
    return static_cast<int>(methods_.size()) - 1;
  }

  // A call of the method itself: its own name alone or on this, with as
  // many arguments (a varargs method: at least all but the last).
  static bool isSelfCall(const xml_node& call, const OpenMethod& method) {
    if (method.measures.kind != MethodMeasures::Kind::Method) return false;
    std::vector<xml_node> callee;
    forEachToken(call.child("MtdAcc"), [&](const xml_node& token) { callee.push_back(token); });
    const bool plain = callee.size() == 1;
    const bool onThis = callee.size() == 3 && named(callee[0], "THIS") && named(callee[1], "DOT");
    if (!(plain || onThis) || !named(callee.back(), "IDEN") ||
        method.measures.name != callee.back().attribute("t").value())
      return false;
    size_t arguments = 0;
    for (xml_node arg = call.child("Expr"); arg; arg = arg.next_sibling("Expr")) ++arguments;
    return method.varargs ? arguments + 1 >= method.parameters : arguments == method.parameters;
  }

  // An if that is the else branch of another if.
  static bool isElseIf(const xml_node& ifStatement) {
    const xml_node stmt = ifStatement.parent();
    return named(stmt, "Stmt") && named(stmt.parent(), "SelStmt") && named(previousElement(stmt), "ELSE");
  }

  static bool isIf(const xml_node& node) { return named(node, "SelStmt") && named(firstElement(node), "IF"); }

  void visitElement(const Frame& frame, std::vector<Frame>& pending) {
    const xml_node& node = frame.node;
    if (named(node, "MtdDecln") || named(node, "CtorDecln") || named(node, "StaticInit") ||
        named(node, "NonStaticInit")) {
      const int method = openMethod(node);
      pushChildren(node, method, [](const xml_node&, int) { return 0; }, pending);
      return;
    }
    if (frame.method < 0) {
      pushChildren(node, -1, [](const xml_node&, int) { return 0; }, pending);
      return;
    }
    OpenMethod& method = methods_[frame.method];
    int64_t& cognitive = method.measures.cognitive;
    const int n = frame.nesting;
    const xml_node head = firstElement(node);
    const auto same = [n](const xml_node&, int) { return n; };
    const auto deeper = [n](const xml_node&, int) { return n + 1; };
    // Bodies (Stmt, Blk, SwBlk) one level deeper; the rest where it stands.
    const auto bodiesDeeper = [n](const xml_node& child, int) {
      return named(child, "Stmt") || named(child, "Blk") || named(child, "SwBlk") ? n + 1 : n;
    };

    countOperatorRuns(node, cognitive);
    if (isIf(node)) {
      cognitive += isElseIf(node) ? 1 : 1 + n;
      pushChildren(node, frame.method,
                   [&](const xml_node& child, int) {
                     if (!named(child, "Stmt")) return n;
                     if (!named(previousElement(child), "ELSE")) return n + 1;
                     // An else if stays on the level of its chain; an else goes in.
                     if (isIf(firstElement(child))) return n;
                     ++cognitive;
                     return n + 1;
                   },
                   pending);
      return;
    }
    if (named(node, "SelStmt") || named(node, "SwExpr") || named(node, "IterStmt")) {
      cognitive += 1 + n;
      pushChildren(node, frame.method, bodiesDeeper, pending);
      return;
    }
    if (named(node, "Catch")) {
      cognitive += 1 + n;
      pushChildren(node, frame.method, bodiesDeeper, pending);
      return;
    }
    if (named(node, "LambdaExpr") || named(node, "AnonyClass") || named(node, "EnumCstBody") ||
        (named(node, "TypeDecln"))) {
      pushChildren(node, frame.method, deeper, pending);
      return;
    }
    if (named(node, "JumpStmt") && (named(head, "BREAK") || named(head, "CONTINUE")) &&
        named(head.next_sibling(), "IDEN"))
      ++cognitive;
    if (named(node, "MtdCall") && isSelfCall(node, method)) ++cognitive;
    if (isExpressionParent(node)) {
      // The operands of a conditional operator are nested in it.
      bool afterQuestion = false;
      pushChildren(node, frame.method,
                   [&](const xml_node& child, int) {
                     if (isConditional(child)) {
                       cognitive += 1 + n;
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
  static void countOperatorRuns(const xml_node& node, int64_t& cognitive) {
    if (!isExpressionParent(node)) return;
    const char* previous = nullptr;
    for (xml_node child = node.first_child(); child; child = child.next_sibling()) {
      const char* name = child.name();
      const bool logical = std::strcmp(name, "LAND") == 0 || std::strcmp(name, "LOR") == 0;
      if (!logical) continue;
      if (!previous || std::strcmp(previous, name) != 0) ++cognitive;
      previous = name;
    }
  }

  // Pushes the element children so that they are taken in document order,
  // each with the nesting level levelOf gives it (called in document order).
  template <typename LevelOf>
  static void pushChildren(const xml_node& node, int method, LevelOf&& levelOf, std::vector<Frame>& pending) {
    const size_t start = pending.size();
    int index = 0;
    for (xml_node child = node.first_child(); child; child = child.next_sibling()) {
      if (child.type() != pugi::node_element) continue;
      pending.push_back({child, method, levelOf(child, index++)});
    }
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(start), pending.end());
  }

  HalsteadCounter file_;
  std::vector<OpenMethod> methods_;
};

}  // namespace

FileMeasures measureTree(xml::Document& tree) {
  const xml::Node root = tree.documentElement();
  if (!root) return FileMeasures();
  // The document element is Program; its children are the file's parts.
  FileMeasures measures = TreeMeasurer().measure(root.raw());
  return measures;
}

}  // namespace metrics
