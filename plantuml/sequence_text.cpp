#include "plantuml/sequence_text.h"

#include <cstdint>

#include "files/latin1.h"
#include "sequence/steps.h"
#include "text/entity_text.h"

namespace plantuml {
namespace {

std::string id(size_t lifeline) { return std::string(1, 'p').append(std::to_string(lifeline)); }

std::string textOf(const std::string& text, bool latin1) {
  return lineText(latin1 ? files::latin1ToUtf8(text) : text);
}

}  // namespace

std::string lineText(std::string_view utf8) {
  // A backslash as PlantUML's own code for it: PlantUML 1.2020 fails on
  // its entity ("character to be escaped is missing"), as on the entity
  // of '$', which is written as itself.
  static constexpr text::EntityStyle kStyle{"&#", "\\n", "\"<>&~*_/-=#|[](){}'^`:;"};
  std::string out;
  size_t at = 0;
  for (size_t slash; (slash = utf8.find('\\', at)) != std::string_view::npos; at = slash + 1)
    out += text::entityText(utf8.substr(at, slash - at), kStyle) + "<U+005C>";
  return out + text::entityText(utf8.substr(at), kStyle);
}

std::string sequenceText(const sequence::Diagram& diagram, bool latin1) {
  using sequence::Message;
  using sequence::Step;
  std::string out = "@startuml\n";
  for (size_t l = 0; l < diagram.lifelines.size(); ++l)
    if (diagram.lifelines[l].createdBy == sequence::kNone)
      out += "participant \"" + textOf(diagram.lifelines[l].label, latin1) + "\" as " + id(l) + "\n";
  int depth = 0;
  auto indent = [&] { return std::string(2 * depth, ' '); };
  for (const Step& step : sequence::diagramSteps(diagram)) {
    switch (step.kind) {
      case Step::Kind::Open: {
        const sequence::Fragment& fragment = diagram.fragments[step.index];
        const Message& first = diagram.messages[fragment.firstMessage()];
        if (first.kind == Message::Kind::Ref) {
          // A part drawn on a page of its own: an interaction use alone.
          out += indent() + "ref over " + id(first.from) + (first.to != first.from ? ", " + id(first.to) : "") +
                 " : " + textOf(first.text, latin1) + "\n";
          break;
        }
        // An interaction use holds the call it stands for: a group named
        // "ref", since PlantUML's own ref cannot hold messages.
        if (fragment.op == "ref")
          out += indent() + "group ref [" + textOf(fragment.operands.front().guard, latin1) + "]\n";
        else
          out += indent() + fragment.op + " " + textOf(fragment.operands.front().guard, latin1) + "\n";
        ++depth;
        break;
      }
      case Step::Kind::NextOperand:
        --depth;
        out += indent() + "else " + textOf(diagram.fragments[step.index].operands[step.operand].guard, latin1) + "\n";
        ++depth;
        break;
      case Step::Kind::Close:
        if (diagram.messages[diagram.fragments[step.index].firstMessage()].kind == Message::Kind::Ref) break;
        --depth;
        out += indent() + "end\n";
        break;
      case Step::Kind::Create:
        out += indent() + "create participant \"" + textOf(diagram.lifelines[step.index].label, latin1) + "\" as " +
               id(step.index) + "\n";
        break;
      case Step::Kind::Send: {
        const Message& message = diagram.messages[step.index];
        if (message.kind == Message::Kind::Ref) break;
        const char* arrow = message.kind == Message::Kind::Return ? " --> " : " -> ";
        out += indent() + id(message.from) + arrow + id(message.to) + " : " + textOf(message.text, latin1) + "\n";
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
        diagram.lifelines.size() == 1 ? id(0) : id(0) + ", " + id(diagram.lifelines.size() - 1);
    out += "note over " + over + " : " + textOf(text, latin1) + "\n";
  }
  return out + "@enduml\n";
}

}  // namespace plantuml
