// The model builder's tree lookups done by their XPath texts: the slow
// twins of the walks and indexes, which the builder's tests run beside
// them (QueryLookupCheck) and compare.
#pragma once

#include <cstdint>
#include <string>

#include "engine/flowchart_model/lookup_check.h"
#include "engine/flowchart_model/source_text.h"
#include "xml/document.h"

namespace flowchart::testing {

std::string firstLineOfQuery(const xml::Node& node);
std::string lastLineOfQuery(const xml::Node& node);
std::string firstColumnOfQuery(const xml::Node& node);
xml::Node lastLinedElementQuery(const xml::Node& node, bool includeSelf);
std::string lastSourceLineQuery(xml::Document& tree);
std::string sourceTextOfQuery(const xml::Node& node, const SourceLines& lines);
// What "//cmt[@l>a and @l<b ]" selects, joined as CommentLines::between joins.
std::string commentsBetweenQuery(xml::Document* comments, int32_t a, int32_t b);
xml::Node methodNodeQuery(xml::Document& tree, const std::string& name, int32_t line);

// Every lookup checked against its query.
class QueryLookupCheck final : public LookupCheck {
 public:
  void firstLine(const xml::Node& node, const std::string& found) override;
  void lastLine(const xml::Node& node, const std::string& found) override;
  void lastLinedElement(const xml::Node& node, bool includeSelf, const xml::Node& found) override;
  void sourceText(const xml::Node& node, const SourceLines& lines, const std::string& found) override;
  void commentsBetween(xml::Document* comments, int32_t a, int32_t b, const std::string& found) override;
  void methodNode(xml::Document& tree, const std::string& name, int32_t line, const xml::Node& found) override;
  void lastSourceLine(xml::Document& tree, const std::string& found) override;
};

}  // namespace flowchart::testing
