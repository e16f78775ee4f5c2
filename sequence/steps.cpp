#include "sequence/steps.h"

namespace sequence {

std::vector<Step> diagramSteps(const Diagram& diagram) {
  std::vector<Step> steps;
  const size_t count = diagram.messages.size();
  // The method's own activations run from before the first message.
  for (size_t a = 0; a < diagram.activations.size(); ++a)
    if (diagram.activations[a].firstMessage == kNone) steps.push_back({Step::Kind::Activate, a, 0});
  for (size_t m = 0; m < count; ++m) {
    for (size_t f = 0; f < diagram.fragments.size(); ++f) {
      const Fragment& fragment = diagram.fragments[f];
      if (fragment.operands.empty()) continue;
      if (fragment.firstMessage() == m) steps.push_back({Step::Kind::Open, f, 0});
      for (size_t o = 1; o < fragment.operands.size(); ++o)
        if (fragment.operands[o].firstMessage == m) steps.push_back({Step::Kind::NextOperand, f, o});
    }
    for (size_t l = 0; l < diagram.lifelines.size(); ++l)
      if (diagram.lifelines[l].createdBy == m) steps.push_back({Step::Kind::Create, l, 0});
    steps.push_back({Step::Kind::Send, m, 0});
    for (size_t a = 0; a < diagram.activations.size(); ++a)
      if (diagram.activations[a].firstMessage == m) steps.push_back({Step::Kind::Activate, a, 0});
    for (size_t a = diagram.activations.size(); a-- > 0;) {
      const Activation& activation = diagram.activations[a];
      const bool started = activation.firstMessage == kNone || activation.firstMessage <= m;
      const bool last = activation.lastMessage == m || (m + 1 == count && activation.lastMessage >= count);
      if (started && last) steps.push_back({Step::Kind::Deactivate, a, 0});
    }
    for (size_t f = diagram.fragments.size(); f-- > 0;) {
      const Fragment& fragment = diagram.fragments[f];
      if (fragment.operands.empty()) continue;
      if (fragment.lastMessage == m || (m + 1 == count && fragment.lastMessage >= count))
        steps.push_back({Step::Kind::Close, f, 0});
    }
  }
  // A diagram without messages still closes what it opened.
  if (count == 0)
    for (size_t a = diagram.activations.size(); a-- > 0;)
      if (diagram.activations[a].firstMessage == kNone) steps.push_back({Step::Kind::Deactivate, a, 0});
  return steps;
}

}  // namespace sequence
