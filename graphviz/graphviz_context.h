// The one Graphviz context of a process and the messages Graphviz reports
// through its process-wide callback, shared by every layout this library
// makes, so that one callback collects them all.
#pragma once

#include <graphviz/gvc.h>

#include <string>

namespace graphviz {

// Created on first use: creating it loads Graphviz's plugins, which costs
// far more than laying out a small graph.  nullptr when it cannot start.
GVC_t* context();

// The messages of the current call; clear them before each call.
std::string& pendingMessages();

// The messages on one line, or a general message when there are none.
std::string oneLine(std::string text);

}  // namespace graphviz
