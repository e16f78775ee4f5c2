#include "graphviz/ordered_ids.h"

#include <string>
#include <unordered_map>
#include <vector>

namespace graphviz {
namespace {

// Object IDs in the order names are first met.  Graphviz's own ID scheme
// makes a named object's ID the address of its interned name, and it
// orders subgraphs (clusters) by ID: their order, in the layout and in its
// output, would follow the heap, which differs between processes and with
// what a process laid out before.  These IDs make equal graphs give equal
// layouts.  As in Graphviz's scheme, named objects get even IDs and
// anonymous ones odd, and names are the graph's interned strings (its
// writer looks at their header to tell HTML-like names); the graph frees
// them when it closes.
struct OrderedIds {
  Agraph_t* graph = nullptr;
  std::unordered_map<std::string, IDTYPE> byName;
  std::vector<char*> names;  // names[id / 2 - 1]
  IDTYPE nextAnonymous = 1;
};

void* openIds(Agraph_t* graph, Agdisc_t*) {
  OrderedIds* ids = new OrderedIds;
  ids->graph = graph;
  return ids;
}

long mapId(void* state, int, char* name, IDTYPE* id, int create) {
  OrderedIds& ids = *static_cast<OrderedIds*>(state);
  if (name == nullptr) {
    if (!create) return 0;
    *id = ids.nextAnonymous;
    ids.nextAnonymous += 2;
    return 1;
  }
  const auto found = ids.byName.find(name);
  if (found != ids.byName.end()) {
    *id = found->second;
    return 1;
  }
  if (!create) return 0;
  ids.names.push_back(agstrdup(ids.graph, name));
  *id = 2 * static_cast<IDTYPE>(ids.names.size());
  ids.byName.emplace(name, *id);
  return 1;
}

long allocId(void*, int, IDTYPE) { return 0; }
void freeId(void*, int, IDTYPE) {}

char* printId(void* state, int, IDTYPE id) {
  OrderedIds& ids = *static_cast<OrderedIds*>(state);
  if (id % 2 != 0 || id == 0 || id / 2 > ids.names.size()) return nullptr;
  return ids.names[id / 2 - 1];
}

void closeIds(void* state) { delete static_cast<OrderedIds*>(state); }
void registerId(void*, int, void*) {}


}  // namespace

Agiddisc_t orderedIdDiscipline = {openIds, mapId, allocId, freeId, printId, closeIds, registerId};

}  // namespace graphviz
