#include "tree_readings.h"

#include <cstdlib>

namespace java {
namespace {

using tree::PieceId;
using tree::PieceList;
using tree::PieceTree;

bool tokenNamed(const PieceTree& tree, PieceId id, std::string_view name) {
  return tree.isToken(id) && tree.name(id) == name;
}

bool elementNamed(const PieceTree& tree, PieceId id, std::string_view name) {
  return !tree.isToken(id) && tree.name(id) == name;
}

// Base for walks that only look at some pieces.
struct Visit {
  const PieceTree& tree;
  bool open(PieceId) { return true; }
  bool close(PieceId) { return true; }
};

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

int tokenLine(const PieceTree& tree, PieceId token) {
  if (token == tree::kNoPiece) return 0;
  return tree.line(token);
}

std::string firstName(const PieceTree& tree, PieceList list) {
  struct Finder : Visit {
    std::string found;
    bool token(PieceId id) {
      if (!tokenNamed(tree, id, "IDEN")) return true;
      found = tree.tokenValue(id);
      return false;
    }
  } finder{{tree}, {}};
  tree.walk(list, finder);
  return std::string(trimBlanks(finder.found));
}

std::string headerName(const PieceTree& tree, PieceList list) {
  if (list.empty() || tree.isToken(list.head)) return firstName(tree, list);
  for (PieceId child = tree.firstChild(list.head); child != tree::kNoPiece; child = tree.next(child))
    if (tokenNamed(tree, child, "IDEN")) return std::string(trimBlanks(tree.tokenValue(child)));
  return {};
}

std::string declaratorName(const PieceTree& tree, PieceList list, std::string_view declarator) {
  struct Finder : Visit {
    std::string_view declarator;
    bool inside = false;
    std::string found;
    bool open(PieceId id) {
      if (elementNamed(tree, id, declarator)) inside = true;
      return true;
    }
    bool token(PieceId id) {
      if (!inside) return true;
      found = tree.tokenValue(id);
      return false;
    }
  } finder{{tree}, declarator, false, {}};
  tree.walk(list, finder);
  return std::string(trimBlanks(finder.found));
}

std::string signature(const PieceTree& tree, PieceList list) {
  struct Joiner : Visit {
    std::string text;
    bool token(PieceId id) {
      tree::appendEscaped(tree.rawText(id), text);
      text += ' ';
      return true;
    }
  } joiner{{tree}, {}};
  tree.walk(list, joiner);
  return std::string(trimBlanks(joiner.text));
}

std::string allocatedType(const PieceTree& tree, PieceList list) {
  // The annotations of the type (new @A T() { }, modern levels) are no
  // part of its name.
  struct Collector : Visit {
    bool inside = false;
    int annotations = 0;
    std::string text;
    bool open(PieceId id) {
      if (elementNamed(tree, id, "TName")) inside = true;
      if (elementNamed(tree, id, "AnnotType")) ++annotations;
      return true;
    }
    bool close(PieceId id) {
      if (elementNamed(tree, id, "AnnotType")) --annotations;
      return true;
    }
    bool token(PieceId id) {
      if (!inside || annotations > 0) return true;
      if (tokenNamed(tree, id, "OPR") || tokenNamed(tree, id, "LT")) return false;
      tree::appendEscaped(tree.rawText(id), text);
      return true;
    }
  } collector{{tree}, {}, 0, {}};
  tree.walk(list, collector);
  return std::string(trimBlanks(collector.text));
}

bool holdsEnumAtStart(const PieceTree& tree, PieceList list) {
  constexpr std::string_view kTag = "<EnumDecln";
  constexpr size_t kLastStart = 50;
  const std::string head = tree.prefix(list, kLastStart + kTag.size());
  return head.find(kTag) != std::string::npos;
}

}  // namespace java
