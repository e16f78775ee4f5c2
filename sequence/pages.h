// Cutting a sequence diagram onto pages that stay readable: its largest
// fragments folded onto pages of their own, and the methods its "ref"
// frames call given pages of theirs.
#pragma once

#include <functional>
#include <vector>

#include "sequence/calls.h"
#include "sequence/diagram.h"

namespace sequence {

// What one page of a drawing may hold and stay within about three
// screens at a readable size; 0: no bound.
struct PageBudget {
  size_t messages = 45;
  size_t lifelines = 9;
  // Whether a page fits, when its drawing is known better than by
  // counts; the counts still bound a run of statements folded away (at
  // most half the messages).
  std::function<bool(const Diagram&)> fits;
};

// Folds a diagram over its budget: its largest combined fragments, one
// after another, each give their messages and the lifelines only they
// use to a page of their own (folded the same way), and leave a "ref"
// frame in their place naming the page (`page` relative to the first
// page returned, which is the diagram itself).  A diagram within its
// budget comes back alone and unchanged.
std::vector<DiagramPage> foldDiagram(Diagram diagram, const PageBudget& budget, text::Charset charset);

// The method's diagram folded to its budget, then one page for each
// method a "ref" frame calls, its own diagram at the depth left there,
// each method once, folded the same way; each ref frame knows its page.
// At most `maxPages` pages: refs beyond them open nothing.
std::vector<DiagramPage> buildDiagramPages(SourceIndex& index, const MethodInfo& method,
                                           const DiagramOptions& options, const PageBudget& budget,
                                           size_t maxPages = 40);

}  // namespace sequence
