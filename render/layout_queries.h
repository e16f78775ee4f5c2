// Reading Graphviz layouts: a layout file is parsed by the DOT front end
// into a parse-tree document, and these queries read positions, sizes,
// labels and the engine's own attributes out of it with XPath.
//
// Every query takes a context node: a node statement (`node_stmt`), an edge
// statement (`edge_stmt`), a `stmt` from dotTryClusters, or the document
// node (Document::root()) for the whole-graph queries.  None of them changes
// the tree.  A query that matches nothing gives the empty text, and a
// number read from empty text is 0.  Calling through an empty node (no
// document) throws xml::Error, as every call of the document service does.
//
// Values are assembled as written in the layout, with two exceptions:
// Graphviz breaks long quoted strings with a backslash-newline
// continuation, which stands for nothing, so those pieces are dropped and
// the text reads as if the line had never been broken; and a quoted value
// with no content reads as empty, not as its opening quote.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "xml/document.h"

namespace render {

// ------------------------------------------------------------------ units

// Layout positions and bounding boxes are in points; a drawing length is
// such a number divided by 96 (x by layoutScaleX, y by layoutScaleY), so a
// drawing comes out at three quarters of the layout's size.
inline constexpr double kLayoutUnitsPerInch = 96.0;
// Engine-wide divisors; every page sets them back to 96 before it draws.
inline double layoutScaleX = kLayoutUnitsPerInch;
inline double layoutScaleY = kLayoutUnitsPerInch;
void resetLayoutScale();

// The leading decimal number of text, as atof reads it: leading blanks
// skipped, conversion stops at the first character that cannot continue a
// number, text without a number gives 0.
double layoutNumber(std::string_view text);

// ---------------------------------------------------------------- loading

// The tree and status files of a work folder: folder + "/out.xml" and
// folder + "/err.xml", reused for every layout of a run.
std::string layoutTreePath(std::string_view workFolder);
std::string layoutStatusPath(std::string_view workFolder);

// Parses the layout into treePath (status into statusPath) and loads the
// tree, keeping line feeds inside attribute values.  The tree file is
// removed first, so a tree left by an earlier layout is never returned;
// nullptr when the layout is missing or does not parse, or the tree does
// not load.  With cannotWrite, it is set when the cause is the work
// folder: the tree or status file could not be written.
std::unique_ptr<xml::Document> loadLayout(const std::string& layoutPath,
                                          const std::string& treePath,
                                          const std::string& statusPath,
                                          bool* cannotWrite = nullptr);

// ------------------------------------------------------------------ lists
// Context: the document node.

xml::NodeList dotNodes(const xml::Node& document);        // every node_stmt
xml::NodeList dotEdges(const xml::Node& document);        // every edge_stmt
xml::NodeList dotTryClusters(const xml::Node& document);  // the stmt with the graph
                                                           // attributes of each
                                                           // subgraph of type try

// ------------------------------------------------------ node and edge texts

std::string dotLabel(const xml::Node& nodeOrEdge);
std::string dotNodeId(const xml::Node& node);
// "pos": the text before its first ","; the text after its first ","
// (for an edge, "e" and the rest of the spline after the end-point marker).
std::string dotPosX(const xml::Node& nodeOrEdge);
std::string dotPosY(const xml::Node& nodeOrEdge);
std::string dotWidth(const xml::Node& node);   // inches
std::string dotHeight(const xml::Node& node);  // inches
std::string dotTail(const xml::Node& edge);
std::string dotHead(const xml::Node& edge);
std::string dotDir(const xml::Node& edge);
std::string dotTip(const xml::Node& edge);
std::string dotTailLabel(const xml::Node& edge);
// Any attribute by name, pieces joined; the name goes into the XPath text
// as it is, so it must be a plain attribute name.
std::string dotAttribute(const xml::Node& nodeOrEdge, std::string_view name);
std::string dotLast(const xml::Node& node);   // "zarnlast"
std::string dotFrom(const xml::Node& edge);   // "zarnfrom"
std::string dotTo(const xml::Node& edge);     // "zarnto"
std::string dotConceptId(const xml::Node& node);
std::string dotColor(const xml::Node& edge);

// ------------------------------------------------------------ graph values
// Context: the document node.

std::string dotParent(const xml::Node& document);  // graph attribute "parent"
// Third and fourth number of the graph's "bb", in points; 0 without one.
double dotGraphRight(const xml::Node& document);
double dotGraphTop(const xml::Node& document);

// The "bb" of a try cluster (a stmt from dotTryClusters), in points.
double dotClusterLeft(const xml::Node& clusterStmt);
double dotClusterBottom(const xml::Node& clusterStmt);
double dotClusterRight(const xml::Node& clusterStmt);
double dotClusterTop(const xml::Node& clusterStmt);

}  // namespace render
