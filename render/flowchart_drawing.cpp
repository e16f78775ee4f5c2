#include "render/flowchart_drawing.h"

#include <array>
#include <memory>
#include <string_view>

#include "files/atomic_file.h"
#include "render/host/host.h"
#include "render/layout_queries.h"
#include "render/letter_page.h"

namespace render {
namespace {

// The block masters in the order they are looked up; "For" twice, the
// second handle serving the type "Spl-for".
constexpr std::array<const char*, 22> kBlockMasters = {
    "If",     "For",   "While", "End For",  "End While", "Switch",     "Do",
    "Do While", "Process", "End", "Start",  "Try",       "Catch",      "Finally",
    "Return", "Complex If", "Complex While", "Complex Dowhile", "For", "Folded Block",
    "Try Block", "Comments"};

enum MasterHandle {
  kIf, kFor, kWhile, kEndFor, kEndWhile, kSwitch, kDo, kDoWhile, kProcess, kEnd, kStart,
  kTry, kCatch, kFinally, kReturn, kComplexIf, kComplexWhile, kComplexDowhile, kSplFor,
  kFoldedBlock, kTryBlock, kComments
};

MasterHandle masterForType(std::string_view type) {
  static const std::pair<std::string_view, MasterHandle> kTable[] = {
      {"if", kIf},           {"for", kFor},           {"while", kWhile},
      {"end-for", kEndFor},  {"end-while", kEndWhile}, {"switch", kSwitch},
      {"do", kDo},           {"dowhile", kDoWhile},   {"block", kProcess},
      {"end", kEnd},         {"start", kStart},       {"catch", kTry},
      {"exception", kCatch}, {"finally", kFinally},   {"RETURN", kReturn},
      {"Spl-if", kComplexIf}, {"Spl-while", kComplexWhile},
      {"Spl-dowhile", kComplexDowhile}, {"Spl-for", kSplFor},
      {"blocks", kFoldedBlock}, {"comment", kComments}};
  for (const auto& [name, handle] : kTable)
    if (name == type) return handle;
  return kProcess;
}

// Where connectors leave and enter a shape, by the name of its master.
struct ConnectionPoints {
  const char* begin;
  const char* end;
};

ConnectionPoints pointsForMaster(std::string_view master) {
  for (std::string_view name : {"If", "Switch", "While", "Do", "Do While", "End While",
                                "Complex If", "Complex While", "Complex Dowhile", "Try"})
    if (master == name) return {"Connections.X4", "Connections.X3"};
  for (std::string_view name : {"Start", "End", "Catch", "Finally", "Return"})
    if (master == name) return {"Connections.X1", "Connections.X2"};
  return {"Connections.X3", "Connections.X4"};
}

host::Cell beginPointFor(host::Shape& shape) {
  return shape.cells(pointsForMaster(shape.master().name()).begin);
}

host::Cell endPointFor(host::Shape& shape) {
  return shape.cells(pointsForMaster(shape.master().name()).end);
}

bool isBlockName(std::string_view entry) {
  return entry.find_first_of("/\\") == std::string_view::npos && entry != "..";
}

bool canWriteBeside(const std::string& path) {
  files::AtomicFile probe(path);
  return probe.open();  // the probe file is removed again at once
}

// The state of one mode 17 run: the host, the drawing, its master handles
// and the folded block list.
class FlowchartDrawing {
 public:
  FlowchartDrawing(const std::string& layoutPath, const std::string& workFolder,
                   const std::string& foldedList)
      : layoutPath_(layoutPath),
        treePath_(layoutTreePath(workFolder)),
        statusPath_(layoutStatusPath(workFolder)),
        hasFolded_(!foldedList.empty()) {
    if (hasFolded_) folded_ = splitList(foldedList, ';');
  }

  int run(const std::string& templatePath, const std::string& savePath) {
    // Every layout is read through the tree file in the work folder: where
    // that cannot be written nothing can be drawn, which is answered as
    // a missing drawing host is, without saving an empty drawing.
    if (!canWriteBeside(treePath_)) return kNoDrawingHost;
    if (host::attachDrawingHost(app_) != 1) return kNoDrawingHost;
    drawAll(templatePath);
    if (workFolderFailed_) return kNoDrawingHost;
    app_.setLanguage(1033);
    if (drawing_.saveAs(savePath) != host::kOk) return kSaveFailed;
    return kDrawn;
  }

 private:
  void drawAll(const std::string& templatePath) {
    drawing_ = app_.documents().add(templatePath);
    pages_ = drawing_.pages();
    masters_ = drawing_.masters();
    for (size_t i = 0; i < kBlockMasters.size(); ++i) blockMasters_[i] = masters_.item(kBlockMasters[i]);

    for (size_t i = 0; i < folded_.size(); ++i) {
      host::Page page = pages_.add();
      page.setName("block-" + std::to_string(i));
      // An entry names a block beside the method's layout, never a path
      // elsewhere: one that is a path keeps its (empty) page and links.
      if (isBlockName(folded_[i])) drawPage(foldedLayoutPath(layoutPath_, folded_[i]), page);
    }
    drawPage(layoutPath_, pages_.item(1));
  }

  std::string pageNameFor(const std::string& name) const {
    for (size_t i = 0; i < folded_.size(); ++i)
      if (folded_[i] == name) return "block-" + std::to_string(i);
    return name;
  }

  void drawPage(const std::string& layout, host::Page page) {
    // A layout that does not parse, or whose tree does not load, leaves
    // its page empty.  A tree that could not be written (a full disk)
    // fails the whole drawing instead: its pages would be empty for a
    // reason that is not the layout's, and the drawing must not replace
    // a good one.
    bool cannotWrite = false;
    tree_ = loadLayout(layout, treePath_, statusPath_, &cannotWrite);
    if (cannotWrite) workFolderFailed_ = true;
    if (!tree_) return;
    const xml::Node root = tree_->root();
    const bool large = setUpLetterPage(dotGraphRight(root), dotGraphTop(root), page);

    for (const xml::Node& cluster : dotTryClusters(root)) drawTryCluster(cluster, page);
    for (const xml::Node& node : dotNodes(root)) drawBlockNode(node, page);
    flow_ = masters_.item("Flow");
    falseFlow_ = masters_.item("False Flow");
    trueFlow_ = masters_.item("True Flow");
    for (const xml::Node& edge : dotEdges(root)) drawFlowEdge(edge, page);

    const std::string parent = dotParent(root);
    if (!parent.empty()) {
      host::Shape back = page.drop(masters_.item("Back"), 0.0, 0.0);
      host::Hyperlink link = back.addHyperlink();
      link.setAddress("");
      link.setDescription("Back");
      link.setSubAddress(pageNameFor(parent));
    }
    if (large) page.resizeToFitContents();
    page.centerDrawing();
  }

  void drawTryCluster(const xml::Node& cluster, host::Page& page) {
    const double left = dotClusterLeft(cluster);
    const double bottom = dotClusterBottom(cluster);
    const double right = dotClusterRight(cluster);
    const double top = dotClusterTop(cluster);
    const double w = right - left;
    const double h = top - bottom;
    host::Shape frame = page.drop(blockMasters_[kTryBlock], (left + w * 0.5) / layoutScaleX,
                                  (bottom + h * 0.5) / layoutScaleY);
    frame.cells("Width").setResult(w / layoutScaleX);
    frame.cells("Height").setResult(h / layoutScaleY);
  }

  void drawBlockNode(const xml::Node& node, host::Page& page) {
    const std::string type = dotConceptId(node);
    const std::string label = dotLabel(node);
    const std::string name = dotNodeId(node);
    const double x = layoutNumber(dotPosX(node)) / layoutScaleX;
    const double y = layoutNumber(dotPosY(node)) / layoutScaleY;
    const double w = layoutNumber(dotWidth(node)) / layoutScaleX;
    const double h = layoutNumber(dotHeight(node)) / layoutScaleY;
    const host::Master& master = blockMasters_[masterForType(type)];
    if (type == "start") page.setName(label);
    host::Shape shape = page.drop(master, x + w * 0.5, y + h * 0.5);
    shape.setName(name);
    shape.setText(type == "blocks" ? "Folded Block" : label);
    shape.cells("Width").setResult(w * 72.0);
    shape.cells("Height").setResult(h * 72.0);
    if (hasFolded_ && type == "blocks") {
      host::Hyperlink link = shape.addHyperlink();
      link.setAddress("");
      link.setDescription("Open This Block");
      link.setSubAddress(pageNameFor(name));
    }
  }

  void drawFlowEdge(const xml::Node& edge, host::Page& page) {
    const std::string tail = dotTail(edge);
    const std::string head = dotHead(edge);
    const bool back = dotDir(edge) == "back";
    host::Shapes shapes = page.shapes();
    host::Shape from = shapes.item(back ? head : tail);
    host::Shape to = shapes.item(back ? tail : head);

    const std::string color = dotColor(edge);
    const host::Master& master = color == "green" ? trueFlow_ : color == "red" ? falseFlow_ : flow_;
    host::Shape connector = page.drop(master, 0.0, 0.0);

    const std::string tip = dotTip(edge);
    host::Cell begin;
    if (tip == "true") {
      begin = from.cells("Connections.X1");
      connector.setText("Yes");
    } else if (tip == "false") {
      begin = from.cells("Connections.X2");
      connector.setText("No");
    } else {
      begin = beginPointFor(from);
    }
    connector.cells("BeginX").glueTo(begin);
    connector.cells("EndX").glueTo(endPointFor(to));
  }

  std::string layoutPath_;
  std::string treePath_;
  std::string statusPath_;
  bool hasFolded_;
  std::vector<std::string> folded_;
  bool workFolderFailed_ = false;  // a layout's tree file could not be written

  host::Application app_;
  host::Document drawing_;
  host::Pages pages_;
  host::Masters masters_;
  std::array<host::Master, kBlockMasters.size()> blockMasters_;
  host::Master flow_, falseFlow_, trueFlow_;
  std::unique_ptr<xml::Document> tree_;
};

}  // namespace

std::vector<std::string> splitList(const std::string& text, char separator) {
  std::vector<std::string> entries;
  if (text.empty()) return entries;
  if (text.find(separator) == std::string::npos) return {text};
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    if (end > start) entries.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return entries;
}

std::string foldedLayoutPath(const std::string& methodLayout, const std::string& name) {
  const size_t cut = methodLayout.find_last_of("/\\");
  if (cut == std::string::npos) return name + ".tmp";
  return methodLayout.substr(0, cut) + "/" + name + ".tmp";
}

int drawFlowchart(const std::string& layoutPath, const std::string& workFolder,
                  const std::string& foldedList, const std::string& templatePath,
                  const std::string& savePath) {
  FlowchartDrawing drawing(layoutPath, workFolder, foldedList);
  return drawing.run(templatePath, savePath);
}

}  // namespace render
