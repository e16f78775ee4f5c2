// Markdown documents holding Mermaid diagrams, for documentation and pull
// requests: a heading per method with its signature and measures, then its
// diagram in a ```mermaid block.  A flowchart over the limits of the place
// that renders it is split along the folding our drawings use: each folded
// construct in a block of its own under its own heading, linked from the
// block that holds it.
#pragma once

#include <string>
#include <vector>

#include "cfg/graph.h"
#include "mermaid/flowchart_text.h"
#include "sequence/diagram.h"

namespace mermaid {

struct MarkdownMethod {
  std::string title;     // the method's label (name and parameters), UTF-8
  std::string measures;  // a line of its measures, UTF-8; may be empty
  const cfg::MethodFlow* flow = nullptr;  // none: listed with nothing to draw
  bool latin1 = false;   // the flow's texts are ISO-8859-1
  std::string note;      // a warning set above its diagram, UTF-8; may be empty
};

// One method's section.  anchor: letters, digits and '-', unique in the
// document; its blocks' anchors start with it.
std::string methodMarkdown(const MarkdownMethod& method, const std::string& anchor,
                           const DiagramSize& limits = kGitHubLimits);

// Every method of a file: a heading, a list linking each method, then each
// method's section.
std::string fileMarkdown(const std::string& title, const std::vector<MarkdownMethod>& methods,
                         const DiagramSize& limits = kGitHubLimits);

// A sequence diagram under a heading.
std::string sequenceMarkdown(const std::string& title, const sequence::Diagram& diagram, bool latin1 = false);

// The diagrams of a flowchart, each under the limits: the whole graph when
// it fits, else one per page of the folding, and a page still over them
// with nothing left to fold (a long run of statements) cut into parts of
// its boxes in order, each part's connectors naming the part they lead
// to.  Only a single box over the limits can leave a block over them.
struct FlowBlock {
  std::string title;  // UTF-8
  std::string text;   // a `flowchart TD`
  std::vector<size_t> links;  // the blocks its folded boxes stand for, and the parts it goes on to
  size_t page = 0;    // of the folding
  bool part = false;  // one of the parts of its page
};
std::vector<FlowBlock> flowBlocks(const cfg::MethodFlow& flow, bool latin1, const DiagramSize& limits = kGitHubLimits);

}  // namespace mermaid
