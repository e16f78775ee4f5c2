// Object IDs for Graphviz graphs in the order names are first met, so that
// equal graphs give equal layouts in any process (Graphviz's own IDs are
// the addresses of interned names, and it orders clusters by ID).
#pragma once

#include <graphviz/cgraph.h>

namespace graphviz {

extern Agiddisc_t orderedIdDiscipline;

}  // namespace graphviz
