#include "cfg/java_tree.h"

#include <algorithm>
#include <functional>

namespace cfg {
namespace {

// Elements whose insides belong to another flow: a lambda's body, the
// members of an anonymous or local class.
bool ownsAnotherFlow(const Element& e) {
  switch (e.kind()) {
    case Kind::LambdaExpr:
    case Kind::AnonyClass:
    case Kind::TypeDecln:
    case Kind::EnumCstBody: return true;
    default: return false;
  }
}

bool opensTight(std::string_view t) { return t == "(" || t == "[" || t == "." || t == "@" || t == "::"; }
bool closesTight(std::string_view t) {
  return t == ")" || t == "]" || t == ";" || t == "," || t == "." || t == "::";
}

}  // namespace

std::vector<Element> children(const Element& e) {
  std::vector<Element> out;
  for (Element child : e.children()) out.push_back(child);
  return out;
}

std::vector<Element> tokensBetween(const Element& from, const Element& to) {
  std::vector<Element> tokens;
  for (Element e = from; e; e = e.nextSibling()) {
    const syntax::TokenRange below = e.tokens();
    tokens.insert(tokens.end(), below.begin(), below.end());
    if (e == to) break;
  }
  return tokens;
}

namespace {

// The tokens' text; after a gap (left out tokens) they are spaced as
// after a line break, "( Object" read as "(Object" and "String []" as
// "String[]".
std::string joinedText(const std::vector<Element>& tokens, const std::vector<bool>& gapBefore) {
  std::string out;
  std::string previous;
  int32_t previousLine = 0;
  int32_t previousEnd = 0;  // the column just after the previous token
  for (size_t i = 0; i < tokens.size(); ++i) {
    const Element& token = tokens[i];
    // Line breaks inside a token (a text block) read as blanks, so a
    // token's text is on its line.
    std::string text = tokenText(token);
    const int32_t line = tokenLine(token);
    const int32_t column = token.column();
    if (!out.empty()) {
      const bool gap = !gapBefore.empty() && gapBefore[i];
      const bool tight = opensTight(previous) || closesTight(text) || (gap && (text[0] == '[' || text == "..."));
      const bool blank = line == previousLine && !gap ? column > previousEnd : !tight;
      if (blank) out += ' ';
    }
    out += text;
    previousLine = line;
    previousEnd = column + static_cast<int32_t>(text.size());
    previous = std::move(text);
  }
  return out;
}

}  // namespace

std::string joinedText(const std::vector<Element>& tokens) { return joinedText(tokens, {}); }

std::string elementText(const Element& e) { return joinedText(tokensBetween(e, e)); }

std::string textWithoutAnnotations(const Element& e) {
  std::vector<Element> tokens;
  std::vector<bool> gapBefore;
  bool gap = false;
  e.walk([&](const Element& current) {
    if (current.is(Kind::AnnotType)) {
      gap = true;
      return syntax::Step::Over;
    }
    if (current.isToken()) {
      tokens.push_back(current);
      gapBefore.push_back(gap);
      gap = false;
    }
    return syntax::Step::Into;
  });
  return joinedText(tokens, gapBefore);
}
std::string rangeText(const Element& from, const Element& to) { return joinedText(tokensBetween(from, to)); }

std::string textWithAbridged(const Element& from, const Element& to, const std::vector<Element>& abridged) {
  if (abridged.empty()) return rangeText(from, to);
  // The body of each abridged switch or lambda: its SwBlk or Blk child;
  // an abridged anonymous class keeps its allocation, new T(...), and
  // loses its members.
  std::vector<Element> bodies;
  std::vector<Element> anonymous;
  for (const Element& sw : abridged) {
    if (sw.kind() == Kind::AnonyClass) {
      anonymous.push_back(sw);
      continue;
    }
    Element body = sw.child(Kind::SwBlk);
    if (!body) body = sw.child(Kind::Blk);
    if (body) bodies.push_back(body);
  }
  std::vector<Element> tokens;
  std::function<syntax::Step(const Element&)> visit = [&](const Element& current) {
    if (std::find(bodies.begin(), bodies.end(), current) != bodies.end()) {
      tokens.push_back(Element());  // stands for "{...}"
      return syntax::Step::Over;
    }
    if (std::find(anonymous.begin(), anonymous.end(), current) != anonymous.end()) {
      if (const Element allocation = current.child(Kind::ClsAllocExpr)) allocation.walk(visit);
      tokens.push_back(Element());
      return syntax::Step::Over;
    }
    if (current.isToken()) tokens.push_back(current);
    return syntax::Step::Into;
  };
  for (Element e = from; e; e = e.nextSibling()) {
    e.walk(visit);
    if (e == to) break;
  }
  // Join the runs of real tokens, with the abridged bodies between them.
  std::string out;
  std::vector<Element> run;
  auto flush = [&] {
    if (run.empty()) return;
    if (!out.empty() && out.back() != ' ' && !closesTight(tokenText(run.front()))) out += ' ';
    out += joinedText(run);
    run.clear();
  };
  for (const Element& token : tokens) {
    if (token) {
      run.push_back(token);
      continue;
    }
    flush();
    out += out.empty() ? "{...}" : " {...}";
  }
  flush();
  return out;
}

std::vector<Element> findOutermost(const Element& e, Kind kind) {
  std::vector<Element> found;
  e.walk([&](const Element& current) {
    if (current == e) return syntax::Step::Into;
    if (current.isToken()) return syntax::Step::Over;
    if (current.kind() == kind) {
      found.push_back(current);
      return syntax::Step::Over;
    }
    return ownsAnotherFlow(current) ? syntax::Step::Over : syntax::Step::Into;
  });
  return found;
}

}  // namespace cfg
