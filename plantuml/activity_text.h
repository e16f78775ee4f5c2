// A method's control-flow graph as a PlantUML activity diagram in its
// current syntax.  The graph is lowered to the syntax's nesting through
// post-dominators: a decision becomes if/else/endif joined where its
// branches meet, a loop's condition while/endwhile, a loop that tests at
// its end repeat/repeat while, a loop without a condition repeat with
// "repeat while (forever)", a switch if/elseif/else on its cases (the
// syntax's own switch cannot end a case with end or detach), and a try
// statement if/else on the ways into it: normally, or by each exception
// its catch clauses and finally take.  What the syntax cannot show is
// said in a note: a jump to a place drawn elsewhere (a labelled break or
// continue, a case that falls through, an exception caught in the same
// method) ends its branch with detach and names where it goes; a copy of a
// finally clause says on which way out it runs.  return runs on to stop,
// an exception that leaves the method ends in end.  Each lambda with a
// block body is a diagram of its own after the method's.
#pragma once

#include <string>

#include "cfg/graph.h"

namespace plantuml {

// latin1: the graph's texts are ISO-8859-1, else UTF-8.
std::string activityText(const cfg::MethodFlow& flow, bool latin1 = false);

}  // namespace plantuml
