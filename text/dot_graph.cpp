#include "text/dot_graph.h"

namespace text {
namespace {

void appendAttributes(std::string& out, const std::vector<DotAttribute>& attributes) {
  out += " [";
  for (size_t i = 0; i < attributes.size(); ++i) {
    if (i > 0) out += ", ";
    out += attributes[i].name;
    out += '=';
    out += attributes[i].quoted ? quotedValue(attributes[i].value) : attributes[i].value;
  }
  out += ']';
}

std::string withClosingRoom(std::string value) {
  if (!value.empty() && value.back() == '\\') value += ' ';
  return value;
}

}  // namespace

std::string shownValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\\') out += '\\';
    out += c;
  }
  return withClosingRoom(std::move(out));
}

std::string storedValue(std::string_view text) { return withClosingRoom(std::string(text)); }

std::string quotedValue(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 2);
  out += '"';
  for (char c : value) {
    if (c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string dotText(const DotGraph& graph) {
  std::string out = "digraph " + quotedValue(graph.name) + " {\n";
  for (const DotStatement& statement : graph.statements) {
    out += "  ";
    switch (statement.kind) {
      case DotStatement::Kind::Graph:
        out += "graph";
        appendAttributes(out, statement.attributes);
        break;
      case DotStatement::Kind::NodeDefaults:
        out += "node";
        appendAttributes(out, statement.attributes);
        break;
      case DotStatement::Kind::Node:
        out += quotedValue(statement.names.at(0));
        if (!statement.attributes.empty()) appendAttributes(out, statement.attributes);
        break;
      case DotStatement::Kind::Edge:
        out += quotedValue(statement.names.at(0)) + " -> " + quotedValue(statement.names.at(1));
        if (!statement.attributes.empty()) appendAttributes(out, statement.attributes);
        break;
      case DotStatement::Kind::SameRank:
        out += "{ rank=same;";
        for (const std::string& name : statement.names) out += " " + quotedValue(name) + ";";
        out += " }\n";
        continue;
    }
    out += ";\n";
  }
  return out + "}\n";
}

}  // namespace text
