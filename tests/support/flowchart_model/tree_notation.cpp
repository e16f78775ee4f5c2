#include "tests/support/flowchart_model/tree_notation.h"

#include <cctype>
#include <map>
#include <stdexcept>
#include <vector>

namespace flowchart::testing {
namespace {

const std::map<std::string, std::string, std::less<>>& defaultTexts() {
  static const std::map<std::string, std::string, std::less<>> texts = {
      {"OPR", "("},   {"CPR", ")"},    {"OBR", "{"},   {"CBR", "}"},   {"OSQ", "["},
      {"CSQ", "]"},   {"SEMI", ";"},   {"COL", ":"},   {"CMA", ","},   {"DOT", "."},
      {"LAND", "&&"}, {"LOR", "||"},   {"GT", ">"},    {"LT", "<"},    {"GE", ">="},
      {"LE", "<="},   {"EQ", "="},     {"EQEQ", "=="}, {"NE", "!="},   {"ADD", "+"},
      {"SUB", "-"},   {"MUL", "*"},    {"DIV", "/"},   {"INC", "++"},  {"DEC", "--"},
      {"EXCL", "!"},  {"QUEST", "?"},  {"ASSADD", "+="}, {"JNULL", "null"}, {"AMP", "&"}};
  return texts;
}

std::string escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '"': out += "&quot;"; break;
      case '&': out += "&amp;"; break;
      case '\'': out += "&apos;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

class Notation {
 public:
  Notation(std::string_view text, int firstLine) : text_(text), line_(firstLine) {
    for (int i = 1; i < firstLine; ++i) tree_.source += '\n';
  }

  NotatedTree run() {
    skipBlanks();
    while (pos_ < text_.size()) {
      item();
      skipBlanks();
    }
    tree_.source += '\n';
    return tree_;
  }

 private:
  [[noreturn]] void fail(const std::string& what) const {
    throw std::invalid_argument(what + " at offset " + std::to_string(pos_));
  }

  void skipBlanks() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '/') {
        tree_.source += '\n';
        ++line_;
        column_ = 1;
        ++pos_;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos_;
      } else {
        break;
      }
    }
  }

  std::string name() {
    size_t start = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_'))
      ++pos_;
    if (start == pos_) fail("expected a name");
    return std::string(text_.substr(start, pos_ - start));
  }

  std::string tokenText(const std::string& kind) {
    if (pos_ < text_.size() && text_[pos_] == ':') {
      ++pos_;
      if (pos_ < text_.size() && text_[pos_] == '\'') {
        size_t end = text_.find('\'', pos_ + 1);
        if (end == std::string_view::npos) fail("unclosed quote");
        std::string text(text_.substr(pos_ + 1, end - pos_ - 1));
        pos_ = end + 1;
        return text;
      }
      size_t start = pos_;
      while (pos_ < text_.size() && !std::isspace(static_cast<unsigned char>(text_[pos_])) &&
             text_[pos_] != ')' && text_[pos_] != '(')
        ++pos_;
      return std::string(text_.substr(start, pos_ - start));
    }
    auto known = defaultTexts().find(kind);
    if (known != defaultTexts().end()) return known->second;
    std::string lower;
    for (char c : kind) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
  }

  void item() {
    std::string kind = name();
    if (pos_ < text_.size() && text_[pos_] == '(') {
      ++pos_;
      tree_.xml += "<" + kind + ">\n";
      skipBlanks();
      while (pos_ < text_.size() && text_[pos_] != ')') {
        item();
        skipBlanks();
      }
      if (pos_ >= text_.size()) fail("unclosed " + kind);
      ++pos_;
      tree_.xml += "</" + kind + ">\n";
      return;
    }
    std::string text = tokenText(kind);
    if (column_ > 1) {
      tree_.source += ' ';
      ++column_;
    }
    tree_.xml += "<" + kind + " l=\"" + std::to_string(line_) + "\" c=\"" + std::to_string(column_) +
                 "\" t=\"" + escape(text) + "\"/>";
    tree_.source += text;
    column_ += static_cast<int>(text.size());
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_;
  int column_ = 1;
  NotatedTree tree_;
};

}  // namespace

NotatedTree notate(std::string_view notation, int firstLine) {
  NotatedTree tree = Notation(notation, firstLine).run();
  tree.xml = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n" + tree.xml;
  return tree;
}

}  // namespace flowchart::testing
