#include "sequence/pages.h"

#include <algorithm>

namespace sequence {
namespace {

bool overBudget(const Diagram& diagram, const PageBudget& budget) {
  if (budget.fits) return !budget.fits(diagram);
  return (budget.messages > 0 && diagram.messages.size() > budget.messages) ||
         (budget.lifelines > 0 && diagram.lifelines.size() > budget.lifelines);
}

size_t messagesIn(const Fragment& fragment) { return fragment.lastMessage - fragment.firstMessage() + 1; }

// The fragment to fold next: the one holding the most messages, the
// outermost of those that hold the same; never a ref frame, nor one that
// holds the whole page (its page would be this one again), nor one of a
// single message (its ref frame would take as much room).
size_t foldCandidate(const Diagram& diagram) {
  size_t best = kNone;
  const size_t count = diagram.messages.size();
  for (size_t f = 0; f < diagram.fragments.size(); ++f) {
    const Fragment& fragment = diagram.fragments[f];
    if (fragment.op == "ref" || fragment.operands.empty() || fragment.lastMessage >= count) continue;
    if (messagesIn(fragment) < 2 || (fragment.firstMessage() == 0 && fragment.lastMessage + 1 == count)) continue;
    if (best == kNone || messagesIn(fragment) > messagesIn(diagram.fragments[best])) best = f;
  }
  return best;
}

// The lifelines messages a..b use, and the owner of the fragment folded.
std::vector<bool> lifelinesUsed(const Diagram& diagram, size_t a, size_t b, size_t owner) {
  std::vector<bool> used(diagram.lifelines.size(), false);
  used[owner] = true;
  for (size_t k = a; k <= b; ++k) used[diagram.messages[k].from] = used[diagram.messages[k].to] = true;
  return used;
}

// The page of messages a..b: the lifelines they use, and the activations
// and fragments inside them, numbered from the page's top.
Diagram partOf(const Diagram& diagram, size_t a, size_t b, const Fragment& folded, const std::vector<bool>& used) {
  const size_t span = b - a;
  const size_t lifelines = diagram.lifelines.size();
  auto inside = [&](size_t message) { return message != kNone && message >= a && message <= b; };
  std::vector<size_t> partIndex(lifelines, kNone);
  Diagram part;
  for (size_t l = 0; l < lifelines; ++l) {
    if (!used[l]) continue;
    partIndex[l] = part.lifelines.size();
    const size_t created = diagram.lifelines[l].createdBy;
    part.lifelines.push_back({diagram.lifelines[l].label, inside(created) ? created - a : kNone});
  }
  for (size_t k = a; k <= b; ++k) {
    Message message = diagram.messages[k];
    message.from = partIndex[message.from];
    message.to = partIndex[message.to];
    part.messages.push_back(std::move(message));
  }
  // The part runs in an activation of its owner; the bars round it on
  // the page it leaves stay there, and those inside keep their nesting.
  std::vector<int> enclosing(lifelines, 0);
  for (const Activation& activation : diagram.activations)
    if ((activation.firstMessage == kNone || activation.firstMessage < a) && activation.lastMessage >= b)
      ++enclosing[activation.lifeline];
  part.activations.push_back({partIndex[folded.owner], kNone, span, 0});
  for (const Activation& activation : diagram.activations) {
    if (!inside(activation.firstMessage) || activation.lastMessage > b) continue;
    const int level = activation.level - enclosing[activation.lifeline] + (activation.lifeline == folded.owner ? 1 : 0);
    part.activations.push_back(
        {partIndex[activation.lifeline], activation.firstMessage - a, activation.lastMessage - a, std::max(0, level)});
  }
  for (const Fragment& fragment : diagram.fragments) {
    if (!inside(fragment.firstMessage()) || fragment.lastMessage > b) continue;
    Fragment moved = fragment;
    for (Operand& operand : moved.operands) operand.firstMessage -= a;
    moved.lastMessage -= a;
    moved.owner = partIndex[moved.owner];
    moved.depth = std::max(0, moved.depth - folded.depth);
    part.fragments.push_back(std::move(moved));
  }
  return part;
}

// The "ref" frame that stands for the folded part at message a.
Fragment refFrame(const Fragment& folded, const std::string& title, size_t a, size_t page) {
  Fragment ref;
  ref.op = "ref";
  ref.operands.push_back(Operand{title, a});
  ref.lastMessage = a;
  ref.owner = folded.owner;
  ref.depth = folded.depth;
  ref.page = page;
  ref.construct = folded.construct;
  ref.line = folded.line;
  ref.method = folded.method;
  return ref;
}

// What stays of the diagram when messages a..b leave it: the ref in
// their place, later indices moved up, and the lifelines only the part
// used gone with it.
void leaveRef(Diagram& diagram, size_t a, size_t b, const Fragment& folded, const std::string& title, size_t page,
              const std::vector<bool>& used) {
  const size_t span = b - a;
  const size_t lifelines = diagram.lifelines.size();
  auto inside = [&](size_t message) { return message != kNone && message >= a && message <= b; };
  auto moved = [&](size_t message) {
    return message == kNone || message < a ? message : message <= b ? a : message - span;
  };
  std::vector<Message> messages(diagram.messages.begin(), diagram.messages.begin() + a);
  messages.push_back(Message{Message::Kind::Ref, folded.owner, folded.owner, title, folded.line});
  messages.insert(messages.end(), diagram.messages.begin() + b + 1, diagram.messages.end());
  std::vector<Activation> activations;
  for (Activation activation : diagram.activations) {
    if (inside(activation.firstMessage) && activation.lastMessage <= b) continue;
    activation.firstMessage = moved(activation.firstMessage);
    activation.lastMessage = moved(activation.lastMessage);
    activations.push_back(activation);
  }
  std::vector<Fragment> fragments;
  bool placed = false;
  for (size_t g = 0; g <= diagram.fragments.size(); ++g) {
    // The ref comes after the fragments round it, before those after it.
    const bool after = g == diagram.fragments.size() || diagram.fragments[g].firstMessage() > a ||
                       (diagram.fragments[g].firstMessage() == a && diagram.fragments[g].lastMessage <= b);
    if (!placed && after) {
      placed = true;
      fragments.push_back(refFrame(folded, title, a, page));
    }
    if (g == diagram.fragments.size()) break;
    Fragment fragment = diagram.fragments[g];
    if (inside(fragment.firstMessage()) && fragment.lastMessage <= b) continue;
    for (Operand& operand : fragment.operands) operand.firstMessage = moved(operand.firstMessage);
    fragment.lastMessage = moved(fragment.lastMessage);
    fragments.push_back(std::move(fragment));
  }

  // Lifelines only the part used leave the page with it.
  std::vector<bool> kept(lifelines, false);
  kept[0] = true;
  // Ref frames span what stays of their lifelines (see spanParts).
  for (size_t k = 0; k < messages.size(); ++k)
    if (messages[k].kind != Message::Kind::Ref) kept[messages[k].from] = kept[messages[k].to] = true;
  for (const Activation& activation : activations) kept[activation.lifeline] = true;
  for (const Fragment& fragment : fragments) kept[fragment.owner] = true;
  std::vector<size_t> keptIndex(lifelines, kNone);
  std::vector<Lifeline> keptLifelines;
  for (size_t l = 0; l < lifelines; ++l) {
    if (!kept[l]) continue;
    keptIndex[l] = keptLifelines.size();
    Lifeline lifeline = diagram.lifelines[l];
    // One made within the part is there from the top.
    lifeline.createdBy = inside(lifeline.createdBy) ? kNone : moved(lifeline.createdBy);
    keptLifelines.push_back(std::move(lifeline));
  }
  size_t left = kNone, right = 0;
  for (size_t l = 0; l < lifelines; ++l)
    if (used[l] && kept[l]) {
      left = std::min(left, keptIndex[l]);
      right = std::max(right, keptIndex[l]);
    }
  for (size_t k = 0; k < messages.size(); ++k) {
    if (k == a) {
      messages[k].from = left == kNone ? 0 : left;
      messages[k].to = left == kNone ? 0 : right;
      continue;
    }
    const bool ref = messages[k].kind == Message::Kind::Ref;
    messages[k].from = ref && keptIndex[messages[k].from] == kNone ? 0 : keptIndex[messages[k].from];
    messages[k].to = ref && keptIndex[messages[k].to] == kNone ? 0 : keptIndex[messages[k].to];
  }
  for (Activation& activation : activations) activation.lifeline = keptIndex[activation.lifeline];
  for (Fragment& fragment : fragments) fragment.owner = keptIndex[fragment.owner];
  diagram.lifelines = std::move(keptLifelines);
  diagram.messages = std::move(messages);
  diagram.activations = std::move(activations);
  diagram.fragments = std::move(fragments);
}

// Moves messages a to b (a fragment's, or a run of statements'), the
// fragments inside them and the lifelines they use to a diagram of their
// own, and leaves a ref frame of one Ref message in their place, opening
// page `page`.  No fragment or activation may start on one side of the
// range and end inside it.  `folded` says whose statements they are.
Diagram cutOut(Diagram& diagram, size_t a, size_t b, const Fragment& folded, const std::string& title, size_t page) {
  const std::vector<bool> used = lifelinesUsed(diagram, a, b, folded.owner);
  Diagram part = partOf(diagram, a, b, folded, used);
  leaveRef(diagram, a, b, folded, title, page, used);
  return part;
}

// Where a message may start or end a run cut out of a page: not inside a
// fragment or a call that the page does not lie in as a whole, nor across
// an operand's start.
std::vector<bool> runBoundaries(const Diagram& diagram) {
  const size_t count = diagram.messages.size();
  // boundary[k]: a run may start at message k (and one end at k - 1).
  std::vector<bool> boundary(count + 1, true);
  auto whole = [&](size_t first, size_t last) { return first == 0 && last + 1 >= count; };
  for (const Fragment& fragment : diagram.fragments) {
    if (fragment.operands.empty() || fragment.lastMessage >= count) continue;
    if (!whole(fragment.firstMessage(), fragment.lastMessage))
      for (size_t k = fragment.firstMessage() + 1; k <= fragment.lastMessage; ++k) boundary[k] = false;
  }
  for (const Activation& activation : diagram.activations) {
    if (activation.firstMessage == kNone || activation.lastMessage >= count) continue;
    if (!whole(activation.firstMessage, activation.lastMessage))
      for (size_t k = activation.firstMessage + 1; k <= activation.lastMessage; ++k) boundary[k] = false;
  }
  return boundary;
}

// The messages a run of statements folded away holds at most, when the
// budget does not count them.
constexpr size_t kRunMessages = 30;

// The longest run of messages between boundaries, with no operand of a
// fragment round the page starting inside it, of at most half the
// page's budget (else the shortest longer one); {kNone, kNone} when no
// run of two messages or more is there.
std::pair<size_t, size_t> longestRun(const Diagram& diagram, const PageBudget& budget) {
  const size_t count = diagram.messages.size();
  const std::vector<bool> boundary = runBoundaries(diagram);
  // A further operand of a fragment round the whole page starts here: no
  // run crosses it (the page's other fragments lie inside runs or round them).
  std::vector<bool> split(count + 1, false);
  for (const Fragment& fragment : diagram.fragments)
    if (fragment.firstMessage() == 0 && fragment.lastMessage + 1 >= count)
      for (size_t o = 1; o < fragment.operands.size(); ++o)
        if (fragment.operands[o].firstMessage < count) split[fragment.operands[o].firstMessage] = true;
  // A part already folded away is not folded again into another.
  for (size_t k = 0; k < count; ++k)
    if (diagram.messages[k].kind == Message::Kind::Ref) split[k] = true;
  const size_t most = std::max<size_t>(2, budget.messages > 0 ? budget.messages / 2 : kRunMessages);
  std::pair<size_t, size_t> best{kNone, kNone};
  auto better = [&](size_t a, size_t b) {
    if (b <= a) return;
    if (best.first == kNone) {
      best = {a, b};
      return;
    }
    const size_t length = b - a + 1, bestLength = best.second - best.first + 1;
    const bool fits = length <= most, bestFits = bestLength <= most;
    if ((fits && (!bestFits || length > bestLength)) || (!fits && !bestFits && length < bestLength)) best = {a, b};
  };
  for (size_t a = 0; a < count; ++a) {
    if (!boundary[a] || diagram.messages[a].kind == Message::Kind::Ref) continue;
    for (size_t end = a + 1; end <= count; ++end) {
      if (end < count && split[end] && end > a) {
        if (boundary[end]) better(a, end - 1);
        break;
      }
      if (!boundary[end]) continue;
      // The whole page is no run of its own.
      if (!(a == 0 && end == count)) better(a, end - 1);
      if (end - a > most) break;
    }
  }
  return best;
}

// What a run of statements is called: the lines of the calls its owner
// makes in it.
Fragment runOf(const Diagram& diagram, size_t a, size_t b, text::Charset charset) {
  Fragment run;
  run.owner = 0;
  if (!diagram.activations.empty() && diagram.activations.front().firstMessage == kNone)
    run.owner = diagram.activations.front().lifeline;
  int depth = 0;
  for (const Fragment& fragment : diagram.fragments)
    if (fragment.firstMessage() <= a && fragment.lastMessage >= b && !(fragment.firstMessage() == a && fragment.lastMessage == b)) {
      run.owner = fragment.owner;
      depth = fragment.depth + 1;
    }
  run.depth = depth;
  int32_t first = 0, last = 0;
  for (size_t k = a; k <= b; ++k) {
    const Message& message = diagram.messages[k];
    if (message.from != run.owner || message.line <= 0) continue;
    if (first == 0 || message.line < first) first = message.line;
    last = std::max(last, message.line);
  }
  const std::string dot = charset == text::Charset::Latin1 ? "\xB7" : "\xC2\xB7";
  run.line = first;
  run.construct = "lines " + dot + " L" + std::to_string(first) + (last > first ? "-L" + std::to_string(last) : "");
  return run;
}

std::string partTitle(const Fragment& fragment, const MethodInfo* root, text::Charset charset) {
  const std::string dot = charset == text::Charset::Latin1 ? "\xB7" : "\xC2\xB7";
  std::string title = (fragment.construct.empty() ? fragment.op : fragment.construct) + " " + dot + " L" +
                      std::to_string(fragment.line);
  if (fragment.method && fragment.method != root) title += " in " + methodDisplayName(*fragment.method);
  return title;
}

std::string uniqueTitle(std::string title, const std::vector<DiagramPage>& pages) {
  auto taken = [&](const std::string& name) {
    for (const DiagramPage& page : pages)
      if (page.title == name) return true;
    return false;
  };
  if (!taken(title)) return title;
  for (int n = 2;; ++n)
    if (const std::string numbered = title + " (" + std::to_string(n) + ")"; !taken(numbered)) return numbered;
}

// Pages in the order their ref frames come, depth first from the first:
// the order a reader meets them in the source.
void orderPages(std::vector<DiagramPage>& pages) {
  std::vector<size_t> order, stack{0};
  std::vector<bool> seen(pages.size(), false);
  while (!stack.empty()) {
    const size_t p = stack.back();
    stack.pop_back();
    if (seen[p]) continue;
    seen[p] = true;
    order.push_back(p);
    const std::vector<Fragment>& fragments = pages[p].diagram.fragments;
    for (size_t f = fragments.size(); f-- > 0;)
      if (fragments[f].op == "ref" && !fragments[f].reference && fragments[f].page < pages.size())
        stack.push_back(fragments[f].page);
  }
  for (size_t p = 0; p < pages.size(); ++p)
    if (!seen[p]) order.push_back(p);
  std::vector<size_t> position(pages.size());
  for (size_t i = 0; i < order.size(); ++i) position[order[i]] = i;
  std::vector<DiagramPage> ordered;
  for (const size_t p : order) ordered.push_back(std::move(pages[p]));
  for (DiagramPage& page : ordered)
    for (Fragment& fragment : page.diagram.fragments)
      if (fragment.op == "ref" && !fragment.reference && fragment.page < position.size())
        fragment.page = position[fragment.page];
  pages = std::move(ordered);
}

// Each part's ref frame spans the lifelines of its page that its own
// page still has, its owner's at least.
void spanParts(std::vector<DiagramPage>& pages) {
  for (DiagramPage& page : pages) {
    Diagram& diagram = page.diagram;
    for (const Fragment& fragment : diagram.fragments) {
      if (fragment.op != "ref" || fragment.reference || fragment.page >= pages.size()) continue;
      Message& ref = diagram.messages[fragment.firstMessage()];
      if (ref.kind != Message::Kind::Ref) continue;
      size_t left = fragment.owner, right = fragment.owner;
      for (const Lifeline& used : pages[fragment.page].diagram.lifelines)
        for (size_t l = 0; l < diagram.lifelines.size(); ++l)
          if (diagram.lifelines[l].label == used.label) {
            left = std::min(left, l);
            right = std::max(right, l);
          }
      ref.from = left;
      ref.to = right;
    }
  }
}

std::vector<DiagramPage> fold(Diagram diagram, const PageBudget& budget, text::Charset charset,
                              const MethodInfo* root) {
  std::vector<DiagramPage> pages;
  pages.push_back({std::string(), std::move(diagram)});
  for (size_t p = 0; p < pages.size(); ++p) {
    while (overBudget(pages[p].diagram, budget)) {
      Diagram& diagram = pages[p].diagram;
      const size_t f = foldCandidate(diagram);
      Fragment folded;
      size_t a = 0, b = 0;
      if (f != kNone) {
        folded = diagram.fragments[f];
        a = folded.firstMessage();
        b = folded.lastMessage;
      } else {
        // Statements in a row with no fragment to fold: the longest run
        // of them that holds together goes.
        const auto [from, to] = longestRun(diagram, budget);
        if (from == kNone) break;
        a = from;
        b = to;
        folded = runOf(diagram, a, b, charset);
      }
      const std::string title = uniqueTitle(f != kNone ? partTitle(folded, root, charset) : folded.construct, pages);
      const size_t at = pages.size();
      Diagram part = cutOut(diagram, a, b, folded, title, at);
      pages.push_back({title, std::move(part)});
    }
  }
  orderPages(pages);
  spanParts(pages);
  return pages;
}

}  // namespace

std::vector<DiagramPage> foldDiagram(Diagram diagram, const PageBudget& budget, text::Charset charset) {
  return fold(std::move(diagram), budget, charset, nullptr);
}

std::vector<DiagramPage> buildDiagramPages(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options,
                                           const PageBudget& budget, size_t maxPages) {
  std::vector<DiagramPage> pages = fold(buildDiagram(index, method, options), budget, index.charset(), &method);
  std::unordered_map<const MethodInfo*, size_t> calleePage{{&method, 0}};
  for (size_t p = 0; p < pages.size(); ++p) {
    for (size_t f = 0; f < pages[p].diagram.fragments.size(); ++f) {
      const Fragment& ref = pages[p].diagram.fragments[f];
      if (ref.op != "ref" || !ref.reference) continue;
      const MethodInfo* callee = ref.reference;
      if (const auto known = calleePage.find(callee); known != calleePage.end()) {
        pages[p].diagram.fragments[f].page = known->second;
        continue;
      }
      if (pages.size() >= maxPages) continue;
      DiagramOptions deeper = options;
      deeper.depth = std::max(1, ref.referenceDepth);
      std::vector<DiagramPage> own = fold(buildDiagram(index, *callee, deeper), budget, index.charset(), &method);
      const size_t base = pages.size();
      calleePage[callee] = base;
      pages[p].diagram.fragments[f].page = base;
      own.front().title = methodDisplayName(*callee);
      for (DiagramPage& page : own) {
        for (Fragment& fragment : page.diagram.fragments)
          if (fragment.op == "ref" && !fragment.reference && fragment.page != kNone) fragment.page += base;
        page.title = uniqueTitle(std::move(page.title), pages);
        pages.push_back(std::move(page));
      }
    }
  }
  // A part's frame names its page as the page came to be called.
  for (DiagramPage& page : pages)
    for (Fragment& fragment : page.diagram.fragments)
      if (fragment.op == "ref" && !fragment.reference && fragment.page < pages.size()) {
        fragment.operands.front().guard = pages[fragment.page].title;
        page.diagram.messages[fragment.firstMessage()].text = pages[fragment.page].title;
      }
  return pages;
}

}  // namespace sequence
