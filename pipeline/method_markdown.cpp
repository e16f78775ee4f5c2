#include "pipeline/method_markdown.h"

#include "pipeline/method_flowchart.h"
#include "pipeline/method_signature.h"
#include "text/text_output.h"

namespace pipeline {

mermaid::MarkdownMethod markdownSection(ParsedSource& parsed, const MethodSummary& method,
                                        const metrics::MethodMeasures* measures, const cfg::MethodFlow* flow) {
  mermaid::MarkdownMethod section;
  section.title = text::utf8Text(methodLabel(parsed.summary(), method), parsed.charset());
  section.measures = "Lines " + std::to_string(method.line) + "-" + std::to_string(method.endLine) +
                     " \xC2\xB7 NLOC " + text::numberText(method.nloc);
  if (measures)
    section.measures += " \xC2\xB7 CC " + std::to_string(measures->cyclomatic) + " \xC2\xB7 cognitive " +
                        std::to_string(measures->cognitive);
  section.note = hiddenCodeNote(parsed.hiddenCodeOf(method));
  section.flow = flow;
  section.latin1 = parsed.charset() == text::Charset::Latin1;
  return section;
}

}  // namespace pipeline
