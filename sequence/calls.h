// Reading a method's calls from its syntax tree into a sequence diagram:
// receivers resolved to lifelines, calls followed into the methods the
// index has the source of, statements made fragments.
#pragma once

#include "sequence/diagram.h"
#include "sequence/source_index.h"

namespace sequence {

struct DiagramOptions {
  // Levels of calls shown: 1 the method's own calls; each further level
  // follows calls into the methods the index has the source of.
  int depth = 1;
  size_t maxMessages = 200;
  // A call through an interface or abstract class with exactly one
  // implementation among the sources is followed into that one.
  bool followImplementations = false;
  // The messages a diagram holds to stay readable on a few screens: below
  // the method's own calls, a call is followed only while what its method
  // calls fits; else it is drawn as an interaction use ("ref") of the
  // callee.  0: no such bound.
  size_t pageMessages = 60;
};

// The diagram of a method, constructor or initialiser of the index, its
// texts in the index's charset.
Diagram buildDiagram(SourceIndex& index, const MethodInfo& method, const DiagramOptions& options);

}  // namespace sequence
