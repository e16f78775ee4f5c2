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

// A position to the five significant digits Graphviz writes layout files
// with, so that a layout read in memory equals the one read from its file.
double asWritten(double value);

// Where a laid-out edge's curve starts as a layout file lists it: the start
// arrow's point, else the end arrow's, else the first control point.
double writtenStartY(Agedge_t* edge);

}  // namespace graphviz
