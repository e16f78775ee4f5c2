#include "render/layout_queries.h"

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <system_error>
#include <vector>

#include "files/latin1.h"

#include "frontends/dot/dot_parser.h"

namespace render {
namespace {

// A quoted string's piece that is a backslash-newline continuation.
constexpr std::string_view kContinuation = "\\\n";
// A quoted string's piece that stands for one double quote.
constexpr std::string_view kEscapedQuote = "\\\"";


std::string concat(std::string_view a, std::string_view b) {
  std::string out(a);
  out += b;
  return out;
}

// Appends the t texts of the STR_CON children of a value id.
void appendPieceTexts(const xml::Node& value, std::vector<std::string>& out) {
  for (xml::Node piece = value.firstChildElement("STR_CON"); piece; piece = piece.nextSiblingElement("STR_CON"))
    if (piece.hasAttribute("t")) out.push_back(piece.attributeText("t"));
}

// Value ids of a node or edge statement, in document order.  The queries
// run for every attribute of every node and edge, so they walk the children
// directly instead of evaluating their paths each time.
class ValueIds {
 public:
  // What attr_list/a_list[id/child::*[@t="name"]]/id[2] selects.
  static ValueIds ofAttribute(const xml::Node& context, std::string_view name) {
    ValueIds values;
    const xml::Node statement = elementOf(context);
    if (!statement) return values;
    for (xml::Node list = statement.firstChildElement("attr_list"); list; list = list.nextSiblingElement("attr_list"))
      for (xml::Node entry = list.firstChildElement("a_list"); entry; entry = entry.nextSiblingElement("a_list"))
        if (xml::Node value = valueOf(entry, name)) values.ids_.push_back(value);
    return values;
  }

  // What a path of child steps selects, such as node_id/id.
  static ValueIds ofPath(const xml::Node& context, std::initializer_list<const char*> steps) {
    ValueIds values;
    if (const xml::Node statement = elementOf(context)) values.ids_.push_back(statement);
    for (const char* step : steps) {
      std::vector<xml::Node> next;
      for (const xml::Node& parent : values.ids_)
        for (xml::Node child = parent.firstChildElement(step); child; child = child.nextSiblingElement(step))
          next.push_back(child);
      values.ids_ = std::move(next);
    }
    return values;
  }

  // The texts of STR_CON/@t of every value id, in document order.
  std::vector<std::string> pieces() const {
    std::vector<std::string> found;
    for (const xml::Node& id : ids_) appendPieceTexts(id, found);
    return found;
  }

  // The first STR_CON with a t attribute, or an empty node.
  xml::Node firstPiece() const {
    for (const xml::Node& id : ids_)
      for (xml::Node piece = id.firstChildElement("STR_CON"); piece; piece = piece.nextSiblingElement("STR_CON"))
        if (piece.hasAttribute("t")) return piece;
    return {};
  }

  // The first token with a t attribute (child::*/@t), or an empty node.
  xml::Node firstToken() const {
    for (const xml::Node& id : ids_)
      for (xml::Node token = id.firstChildElement(); token; token = token.nextSiblingElement())
        if (token.hasAttribute("t")) return token;
    return {};
  }

  // The first value id with a STR_CON child, or an empty node.
  xml::Node firstQuoted() const {
    for (const xml::Node& id : ids_)
      if (id.firstChildElement("STR_CON")) return id;
    return {};
  }

 private:
  // Through an absent node this fails as every query does; from an
  // attribute the paths find nothing.
  static xml::Node elementOf(const xml::Node& context) {
    if (context.isNull()) context.selectSingleNode("attr_list");
    if (context.isAttribute()) return {};
    return context;
  }

  // The second id of an entry whose ids hold a token named name.
  static xml::Node valueOf(const xml::Node& entry, std::string_view name) {
    bool named = false;
    xml::Node second;
    int ids = 0;
    for (xml::Node id = entry.firstChildElement("id"); id; id = id.nextSiblingElement("id")) {
      if (++ids == 2) second = id;
      for (xml::Node token = id.firstChildElement(); token && !named; token = token.nextSiblingElement())
        named = token.attributeEquals("t", name);
    }
    return named ? second : xml::Node();
  }

  std::vector<xml::Node> ids_;
};

bool isQuoteToken(const xml::Node& token) {
  const std::string name = token.name();
  return name == "STR_ST" || name == "STR_END";
}

// The text of what a fallback found: the t attribute of a value's first
// token, or that attribute itself.  The fallback is there for unquoted
// values; on a quoted value without content it finds the opening quote
// token, and such a value reads as empty.
std::string fallbackText(const xml::Node& found) {
  if (!found) return {};
  if (found.isAttribute()) return isQuoteToken(found.parent()) ? std::string() : found.value();
  return isQuoteToken(found) ? std::string() : found.attributeText("t");
}

// Joins the texts of pieces, dropping continuations; with escapedQuotes a
// backslash-quote piece becomes one double quote.
std::string joinPieces(const std::vector<std::string>& pieces, bool escapedQuotes) {
  std::string out;
  for (const std::string& text : pieces) {
    if (text == kContinuation) continue;
    if (escapedQuotes && text == kEscapedQuote) {
      out += '"';
      continue;
    }
    out += text;
  }
  return out;
}

std::vector<std::string> texts(const xml::NodeList& found) {
  std::vector<std::string> out;
  out.reserve(found.size());
  for (const xml::Node& node : found) out.push_back(node.value());
  return out;
}

std::vector<std::string> pieceTexts(const xml::Node& value) {
  std::vector<std::string> out;
  appendPieceTexts(value, out);
  return out;
}

// The first piece of a quoted value as the scanner would have cut it had
// the string not been continued: the plain runs up to the first escape,
// continuations left out.
std::string firstPiece(const xml::Node& firstFound) {
  std::string first = firstFound.attributeText("t");
  const xml::Node value = firstFound.parent();
  if (first.find('\\') == std::string::npos &&
      !value.firstChildElement("STR_CON").nextSiblingElement("STR_CON"))
    return first;
  std::string out;
  for (const std::string& text : pieceTexts(value)) {
    if (text == kContinuation) continue;
    if (!text.empty() && text[0] == '\\') {
      if (out.empty()) out = text;
      break;
    }
    out += text;
  }
  return out;
}

// Rule A: the first piece, else the fallback's text.
std::string readSingle(const ValueIds& values) {
  if (const xml::Node found = values.firstPiece()) return firstPiece(found);
  return fallbackText(values.firstToken());
}

// Rule B: rule A with surrounding double quotes removed.
std::string withoutQuotes(std::string text) {
  if (text.empty() || text[0] != '"') return text;
  return text.size() < 2 ? std::string() : text.substr(1, text.size() - 2);
}

std::string readUnquoted(const xml::Node& context, std::string_view name) {
  return withoutQuotes(readSingle(ValueIds::ofAttribute(context, name)));
}

// Rule C: every piece of the first form joined, else rule A on the fallback.
std::string readJoined(const xml::Node& context, std::string_view name) {
  const ValueIds values = ValueIds::ofAttribute(context, name);
  std::string joined = joinPieces(values.pieces(), true);
  if (!joined.empty()) return joined;
  return fallbackText(values.firstToken());
}

// Rule D: the pieces of a value that has any, else the fallback's text.
std::string readPresentPieces(const xml::Node& context, std::string_view name) {
  const ValueIds values = ValueIds::ofAttribute(context, name);
  if (const xml::Node quoted = values.firstQuoted()) return joinPieces(pieceTexts(quoted), true);
  return fallbackText(values.firstToken());
}

// Rule E: the texts of the selected children of the first form, joined.
std::string readChildren(const xml::Node& context, const std::string& firstForm,
                         std::string_view children) {
  const xml::Node found = context.selectSingleNode(firstForm);
  if (!found) return {};
  return joinPieces(texts(found.selectNodes(concat(children, "/@t"))), false);
}

constexpr std::string_view kGraphAttribute =
    "//attr_stmt/grp_nod_edg[GRAPH]/following-sibling::attr_list/a_list[id/child::*[1][@t=\"";

// Field index (from 0) of a bounding box "left,bottom,right,top": the text
// between the index-th and the next comma.  The last field ends at a double
// quote, the closing quote of a value read with its quote tokens.  A field
// the text does not have is empty.
std::string boxField(std::string_view box, int index) {
  size_t start = 0;
  for (int i = 0; i < index; ++i) {
    const size_t comma = box.find(',', start);
    if (comma == std::string_view::npos) return {};
    start = comma + 1;
  }
  std::string_view field = box.substr(start);
  field = field.substr(0, field.find(index == 3 ? '"' : ','));
  return std::string(field);
}

std::string graphBox(const xml::Node& document) {
  return readChildren(document, concat(kGraphAttribute, "bb\"]]/id[2]"), "child::*");
}

std::string clusterBox(const xml::Node& clusterStmt) {
  return readChildren(clusterStmt, "attr_stmt/attr_list/a_list[id/child::*[1][@t=\"bb\"]]/id[2]",
                      "child::STR_CON");
}

}  // namespace

void resetLayoutScale() {
  layoutScaleX = kLayoutUnitsPerInch;
  layoutScaleY = kLayoutUnitsPerInch;
}

double layoutNumber(std::string_view text) { return std::atof(std::string(text).c_str()); }

std::string layoutTreePath(std::string_view workFolder) { return concat(workFolder, "/out.xml"); }
std::string layoutStatusPath(std::string_view workFolder) { return concat(workFolder, "/err.xml"); }

std::unique_ptr<xml::Document> loadLayout(const std::string& layoutPath,
                                          const std::string& treePath,
                                          const std::string& statusPath,
                                          bool* cannotWrite) {
  std::error_code ec;
  std::filesystem::remove(treePath, ec);
  const dot::DotParse parsed = dot::parseDotFileOutcome(layoutPath, treePath, statusPath);
  if (cannotWrite) *cannotWrite = parsed == dot::DotParse::CannotWrite;
  if (parsed != dot::DotParse::Parsed) return nullptr;
  // Line feeds stay in attribute values, so that continuations are seen.
  return xml::Document::loadFile(treePath, xml::LoadOptions{.keepAttributeWhitespace = true});
}

xml::NodeList dotNodes(const xml::Node& document) { return document.selectNodes("//node_stmt"); }
xml::NodeList dotEdges(const xml::Node& document) { return document.selectNodes("//edge_stmt"); }

xml::NodeList dotTryClusters(const xml::Node& document) {
  return document.selectNodes(
      "//stmt[attr_stmt[grp_nod_edg/GRAPH]/attr_list/a_list[id/child::*[@t=\"type\"]]"
      "/id[2]/child::*[@t=\"try\"]]");
}

std::string dotLabel(const xml::Node& nodeOrEdge) { return readJoined(nodeOrEdge, "label"); }

std::string dotNodeId(const xml::Node& node) {
  return readSingle(ValueIds::ofPath(node, {"node_id", "id"}));
}

std::string dotPosX(const xml::Node& nodeOrEdge) {
  const std::string pos = readUnquoted(nodeOrEdge, "pos");
  return pos.substr(0, pos.find(','));
}

std::string dotPosY(const xml::Node& nodeOrEdge) {
  const std::string pos = readSingle(ValueIds::ofAttribute(nodeOrEdge, "pos"));
  const size_t comma = pos.find(',');
  return comma == std::string::npos ? std::string() : pos.substr(comma + 1);
}

std::string dotWidth(const xml::Node& node) { return readUnquoted(node, "width"); }
std::string dotHeight(const xml::Node& node) { return readUnquoted(node, "height"); }

std::string dotTail(const xml::Node& edge) {
  return readSingle(ValueIds::ofPath(edge, {"nod_subgrp", "node_id", "id"}));
}

std::string dotHead(const xml::Node& edge) {
  return readSingle(ValueIds::ofPath(edge, {"edgerhs", "nod_subgrp", "node_id", "id"}));
}

std::string dotDir(const xml::Node& edge) { return readUnquoted(edge, "dir"); }
std::string dotTip(const xml::Node& edge) { return readSingle(ValueIds::ofAttribute(edge, "tip")); }
std::string dotTailLabel(const xml::Node& edge) { return readJoined(edge, "taillabel"); }

std::string dotAttribute(const xml::Node& nodeOrEdge, std::string_view name) {
  return readJoined(nodeOrEdge, name);
}

std::string dotLast(const xml::Node& node) { return readSingle(ValueIds::ofAttribute(node, "zarnlast")); }
std::string dotFrom(const xml::Node& edge) { return readSingle(ValueIds::ofAttribute(edge, "zarnfrom")); }
std::string dotTo(const xml::Node& edge) { return readSingle(ValueIds::ofAttribute(edge, "zarnto")); }

std::string dotConceptId(const xml::Node& node) { return readPresentPieces(node, "CONCEPTID"); }
std::string dotColor(const xml::Node& edge) { return readPresentPieces(edge, "color"); }

std::string dotParent(const xml::Node& document) {
  const std::string value = concat(kGraphAttribute, "parent\"]]/id[2]");
  const xml::Node quoted = document.selectSingleNode(value + "[STR_CON]");
  if (quoted) return joinPieces(pieceTexts(quoted), false);
  return fallbackText(document.selectSingleNode(value + "/child::*"));
}

double dotGraphRight(const xml::Node& document) {
  return layoutNumber(boxField(graphBox(document), 2));
}

double dotGraphTop(const xml::Node& document) {
  return layoutNumber(boxField(graphBox(document), 3));
}

double dotClusterLeft(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 0));
}

double dotClusterBottom(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 1));
}

double dotClusterRight(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 2));
}

double dotClusterTop(const xml::Node& clusterStmt) {
  return layoutNumber(boxField(clusterBox(clusterStmt), 3));
}

}  // namespace render
