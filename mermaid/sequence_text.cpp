#include "mermaid/sequence_text.h"

#include "files/latin1.h"
#include "mermaid/flowchart_text.h"
#include "sequence/steps.h"

namespace mermaid {
namespace {

// A text that runs to the end of its line: a ';' would end the statement
// there, and a line break inside would end it too.
std::string lineText(const std::string& text, bool latin1) {
  const std::string utf8 = latin1 ? files::latin1ToUtf8(text) : text;
  std::string out;
  size_t at = 0;
  for (size_t semicolon; (semicolon = utf8.find(';', at)) != std::string::npos; at = semicolon + 1)
    out += labelText(std::string_view(utf8).substr(at, semicolon - at)) + "#59;";
  return out + labelText(std::string_view(utf8).substr(at));
}

std::string id(size_t lifeline) { return "p" + std::to_string(lifeline); }

}  // namespace

std::string sequenceText(const sequence::Diagram& diagram, bool latin1) {
  using sequence::Message;
  using sequence::Step;
  std::string out = "sequenceDiagram\n";
  for (size_t l = 0; l < diagram.lifelines.size(); ++l)
    if (diagram.lifelines[l].createdBy == sequence::kNone)
      out += "  participant " + id(l) + " as " + lineText(diagram.lifelines[l].label, latin1) + "\n";
  int depth = 0;
  auto indent = [&] { return std::string(2 + 2 * depth, ' '); };
  for (const Step& step : sequence::diagramSteps(diagram)) {
    switch (step.kind) {
      case Step::Kind::Open: {
        const sequence::Fragment& fragment = diagram.fragments[step.index];
        const Message& first = diagram.messages[fragment.firstMessage()];
        if (first.kind == Message::Kind::Ref) {
          // A part drawn on a page of its own: a note naming it, over
          // the lifelines it spans.
          out += indent() + "Note over " + id(first.from) + (first.to != first.from ? "," + id(first.to) : "") +
                 ": ref " + lineText(first.text, latin1) + "\n";
          break;
        }
        if (fragment.op == "ref") {
          // Mermaid has no interaction use: a shaded band round the call,
          // named by a note on its caller.
          const size_t caller = diagram.messages[fragment.firstMessage()].from;
          out += indent() + "rect rgba(128, 128, 128, 0.15)\n";
          ++depth;
          out += indent() + "Note over " + id(caller) + ": ref " + lineText(fragment.operands.front().guard, latin1) +
                 "\n";
          break;
        }
        out += indent() + fragment.op + " " + lineText(fragment.operands.front().guard, latin1) + "\n";
        ++depth;
        break;
      }
      case Step::Kind::NextOperand: {
        const sequence::Fragment& fragment = diagram.fragments[step.index];
        const char* word = fragment.op == "critical" ? "option" : fragment.op == "par" ? "and" : "else";
        --depth;
        out += indent() + word + " " + lineText(fragment.operands[step.operand].guard, latin1) + "\n";
        ++depth;
        break;
      }
      case Step::Kind::Close:
        if (diagram.messages[diagram.fragments[step.index].firstMessage()].kind == Message::Kind::Ref) break;
        --depth;
        out += indent() + "end\n";
        break;
      case Step::Kind::Create:
        out += indent() + "create participant " + id(step.index) + " as " +
               lineText(diagram.lifelines[step.index].label, latin1) + "\n";
        break;
      case Step::Kind::Send: {
        const Message& message = diagram.messages[step.index];
        if (message.kind == Message::Kind::Ref) break;
        const char* arrow = message.kind == Message::Kind::Return ? "-->>" : "->>";
        out += indent() + id(message.from) + arrow + id(message.to) + ": " + lineText(message.text, latin1) + "\n";
        break;
      }
      case Step::Kind::Activate:
        out += indent() + "activate " + id(diagram.activations[step.index].lifeline) + "\n";
        break;
      case Step::Kind::Deactivate:
        out += indent() + "deactivate " + id(diagram.activations[step.index].lifeline) + "\n";
        break;
    }
  }
  if (!diagram.notes.empty() && !diagram.lifelines.empty()) {
    std::string text;
    for (const std::string& note : diagram.notes) text += (text.empty() ? "" : "\n") + note;
    const std::string over =
        diagram.lifelines.size() == 1 ? id(0) : id(0) + "," + id(diagram.lifelines.size() - 1);
    out += "  Note over " + over + ": " + lineText(text, latin1) + "\n";
  }
  return out;
}

}  // namespace mermaid
