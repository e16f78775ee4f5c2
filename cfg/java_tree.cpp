#include "cfg/java_tree.h"

#include <algorithm>

#include "files/latin1.h"

namespace cfg {
namespace {

// Elements whose insides belong to another flow: a lambda's body, the
// members of an anonymous or local class.
bool ownsAnotherFlow(Element e) {
  return named(e, "LambdaExpr") || named(e, "AnonyClass") || named(e, "TypeDecln") || named(e, "EnumCstBody");
}

// Depth-first over the tokens below e, by an explicit stack: expressions
// can nest deeply.
template <typename Visit>
void forEachToken(Element e, Visit&& visit) {
  std::vector<Element> pending{e};
  while (!pending.empty()) {
    Element current = pending.back();
    pending.pop_back();
    if (isToken(current)) {
      visit(current);
      continue;
    }
    const size_t mark = pending.size();
    for (Element child = current.first_child(); child; child = child.next_sibling())
      if (child.type() == pugi::node_element) pending.push_back(child);
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
  }
}

bool opensTight(std::string_view t) { return t == "(" || t == "[" || t == "." || t == "@" || t == "::"; }
bool closesTight(std::string_view t) {
  return t == ")" || t == "]" || t == ";" || t == "," || t == "." || t == "::";
}

}  // namespace

Element childNamed(Element e, std::string_view name) {
  for (Element child = e.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element && name == child.name()) return child;
  return Element();
}

std::vector<Element> children(Element e) {
  std::vector<Element> out;
  for (Element child = e.first_child(); child; child = child.next_sibling())
    if (child.type() == pugi::node_element) out.push_back(child);
  return out;
}

std::string tokenText(Element token) { return files::utf8ToLatin1(token.attribute("t").value()); }

Element firstToken(Element e) {
  while (e && !isToken(e)) {
    Element next;
    for (Element child = e.first_child(); child; child = child.next_sibling())
      if (child.type() == pugi::node_element) {
        next = child;
        break;
      }
    e = next;
  }
  return e;
}

Element lastToken(Element e) {
  while (e && !isToken(e)) {
    Element next;
    for (Element child = e.last_child(); child; child = child.previous_sibling())
      if (child.type() == pugi::node_element) {
        next = child;
        break;
      }
    e = next;
  }
  return e;
}

int32_t firstLine(Element e) {
  const Element token = firstToken(e);
  return token ? tokenLine(token) : 0;
}

int32_t lastLine(Element e) {
  const Element token = lastToken(e);
  return token ? tokenLine(token) : 0;
}

std::vector<Element> tokensBetween(Element from, Element to) {
  std::vector<Element> tokens;
  for (Element e = from; e; e = e.next_sibling()) {
    if (e.type() == pugi::node_element) forEachToken(e, [&](Element t) { tokens.push_back(t); });
    if (e == to) break;
  }
  return tokens;
}

std::string joinedText(const std::vector<Element>& tokens) {
  std::string out;
  std::string previous;
  int32_t previousLine = 0;
  int32_t previousEnd = 0;  // the column just after the previous token
  bool previousSpansLines = false;
  for (const Element& token : tokens) {
    std::string text = tokenText(token);
    const bool spansLines = text.find_first_of("\r\n") != std::string::npos;
    for (char& c : text)
      if (c == '\n' || c == '\r') c = ' ';
    const int32_t line = tokenLine(token);
    const int32_t column = token.attribute("c").as_int();
    if (!out.empty()) {
      bool blank;
      if (line == previousLine && !previousSpansLines && !spansLines)
        blank = column > previousEnd;
      else
        blank = !opensTight(previous) && !closesTight(text);
      if (blank) out += ' ';
    }
    out += text;
    previous = text;
    previousLine = line;
    previousEnd = column + static_cast<int32_t>(text.size());
    previousSpansLines = spansLines;
  }
  return out;
}

std::string elementText(Element e) { return joinedText(tokensBetween(e, e)); }
std::string rangeText(Element from, Element to) { return joinedText(tokensBetween(from, to)); }

std::string textWithAbridged(Element from, Element to, const std::vector<Element>& abridged) {
  if (abridged.empty()) return rangeText(from, to);
  // The body of each abridged switch: its SwBlk or Blk child.
  std::vector<Element> bodies;
  for (const Element& sw : abridged) {
    Element body = childNamed(sw, "SwBlk");
    if (!body) body = childNamed(sw, "Blk");
    if (body) bodies.push_back(body);
  }
  std::vector<Element> tokens;
  for (Element e = from; e; e = e.next_sibling()) {
    if (e.type() == pugi::node_element) {
      std::vector<Element> pending{e};
      while (!pending.empty()) {
        Element current = pending.back();
        pending.pop_back();
        if (std::find(bodies.begin(), bodies.end(), current) != bodies.end()) {
          tokens.push_back(Element());  // stands for "{...}"
          continue;
        }
        if (isToken(current)) {
          tokens.push_back(current);
          continue;
        }
        const size_t mark = pending.size();
        for (Element child = current.first_child(); child; child = child.next_sibling())
          if (child.type() == pugi::node_element) pending.push_back(child);
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
      }
    }
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

std::vector<Element> findOutermost(Element e, std::string_view name) {
  std::vector<Element> found;
  std::vector<Element> pending{e};
  while (!pending.empty()) {
    Element current = pending.back();
    pending.pop_back();
    if (isToken(current)) continue;
    if (name == current.name() && current != e) {
      found.push_back(current);
      continue;
    }
    if (current != e && ownsAnotherFlow(current)) continue;
    const size_t mark = pending.size();
    for (Element child = current.first_child(); child; child = child.next_sibling())
      if (child.type() == pugi::node_element) pending.push_back(child);
    std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(mark), pending.end());
  }
  return found;
}

}  // namespace cfg
