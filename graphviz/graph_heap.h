// The memory of one Graphviz graph taken in large blocks and given back at
// once: Graphviz allocates small records for every node, edge, attribute
// value and dictionary entry, and frees each one by one when the graph
// closes.  Memory freed while a graph lives is not reused before it closes.
#pragma once

#include <graphviz/cgraph.h>

namespace graphviz {

// The discipline for agopen.  Its close is left out on purpose: with one,
// agclose would skip closing the graph's dictionaries, whose headers cdt
// takes from malloc.
extern Agmemdisc_t graphHeapDiscipline;

// Closes a root graph opened with graphHeapDiscipline, then gives back its
// memory.
void closeGraph(Agraph_t* root);

}  // namespace graphviz
