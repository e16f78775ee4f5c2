// One method's sequence diagram, from its parsed source to a drawing: its
// calls are read from the parse tree (and followed into the methods whose
// source is at hand), planned on rows, laid out with Graphviz in this
// process and drawn into the drawing model as the engine draws sequence
// diagrams, with a note below saying what the diagram leaves out.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "errors/problem.h"
#include "pipeline/parsed_source.h"
#include "drawing/model.h"
#include "seqdraw/sequence_graph.h"
#include "sequence/diagram.h"
#include "sequence/source_index.h"

namespace pipeline {

struct SequenceOptions {
  int depth = 1;  // levels of calls shown
  size_t maxMessages = 200;
  std::string sourceTree;  // where to look for further classes; empty for the file alone
  bool followImplementations = false;
  // A diagram whose page would take more screens than this at the zoom
  // it opens at is folded onto further pages; 0: never (the text forms,
  // which have no pages).
  double screens = 0;
};

// The classes a diagram can reach: those of the parsed file and, with a
// source tree, those of the tree's files named after a class the diagram
// meets (Name.java) and, asked for the subtypes of a type, those whose
// text names it after "extends" or "implements"; each parsed once, when
// first needed.  Packages and imports pick among same-named classes.
class SequenceSources {
 public:
  SequenceSources(ParsedSource& source, std::string sourceTree);
  SequenceSources(const SequenceSources&) = delete;
  SequenceSources& operator=(const SequenceSources&) = delete;

  ParsedSource& source() { return source_; }
  sequence::SourceIndex& index() { return index_; }
  const sequence::JavaSource& javaSource() const { return java_; }
  // Files of the tree that were needed and did not parse, as notes.
  const std::vector<std::string>& problems() const { return problems_; }

 private:
  std::vector<const sequence::JavaSource*> load(const std::string& simpleName);
  std::vector<const sequence::JavaSource*> loadSubtypes(const std::string& simpleName);
  void scan();
  const sequence::JavaSource* parseFile(const std::string& path);

  ParsedSource& source_;
  std::string sourceTree_;
  sequence::JavaSource java_;
  bool scanned_ = false;
  std::unordered_multimap<std::string, std::string> filesByStem_;
  std::vector<std::string> files_;
  std::unordered_map<std::string, const sequence::JavaSource*> parsed_;  // by path; nullptr: does not parse
  std::deque<ParsedSource> loaded_;
  std::deque<sequence::JavaSource> loadedJava_;
  std::vector<std::string> problems_;
  sequence::SourceIndex index_;
};

struct MethodSequence {
  sequence::Diagram diagram;  // the first page's: the method's own
  seqdraw::SequencePlan plan;  // its rows, before layout
  // Every page: the method's own first, then its folded parts and the
  // methods its ref frames open; the drawing has a page for each.
  std::vector<sequence::DiagramPage> pages;
  std::unique_ptr<drawing::Document> drawing;
};

// The diagram and its plan; a problem (kind Failed) when the method is not
// in the parse tree or its calls cannot be read.
errors::Result<MethodSequence> planMethodSequence(SequenceSources& sources, const MethodSummary& method,
                                                  const SequenceOptions& options);

// The same, laid out and drawn; a problem (kind Failed) also when Graphviz
// refuses the graph.
errors::Result<MethodSequence> drawMethodSequence(SequenceSources& sources, const MethodSummary& method,
                                                  const SequenceOptions& options);

// The masters sequence diagrams are drawn with (for the site's shared
// dark palette); empty when the built-in template does not read.
std::vector<std::shared_ptr<const drawing::Master>> sequenceDrawingMasters();

// The plan's graph in the DOT language, for people who lay it out with
// their own tools.
std::string methodSequenceDot(const MethodSequence& sequence);

}  // namespace pipeline
