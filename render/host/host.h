// The drawing host: an in-process object model of application, documents,
// masters, pages, shapes, cells, connection points and hyperlinks, over
// the drawing model (its cells, rows and glue in cells.h).
//
// Objects are reached through handles.  A handle that a failed call gave
// back is empty; a call through an empty handle is not carried out and
// yields kNotObtained.  Every call stores its result code in
// lastHostResult; actions and setters also return it.  Lengths are inches,
// the page's origin is its bottom-left corner and y points up.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <memory>
#include <string>
#include <string_view>

#include "drawing/model.h"
#include "drawing/template_file.h"
#include "render/host/cells.h"
#include "render/host/result.h"

namespace host {

using drawing::TemplateContent;

class Documents;
class Document;
class Masters;
class Master;
class Pages;
class Page;
class PageSheet;
class Shapes;
class Shape;
class Section;
class Row;
class Cell;
class Hyperlink;

// The connection-point section's number.
constexpr int kConnectionSection = 7;

// The root object; empty until attachDrawingHost gives it a running host.
class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  Documents documents();
  // The language id the drawing's text is in (1033 for US English).
  int32_t setLanguage(uint16_t languageId);

 private:
  friend int attachDrawingHost(Application& application);
  std::unique_ptr<ApplicationModel> model_;
};

// Starts the host in this process and hands it to application.  Always
// succeeds: 1.
int attachDrawingHost(Application& application);

class Documents {
 public:
  Documents() = default;
  // Opens a new drawing from the template file, with the stencils it names.
  Document add(const std::string& templatePath);
  // An open document by its file name (the last part of its path).
  Document item(std::string_view fileName);

 private:
  friend class Application;
  explicit Documents(ApplicationModel* app) : app_(app) {}
  Document open(std::string templateName, TemplateContent content, const std::string& folder,
                const std::function<std::optional<TemplateContent>(const std::string&)>& loadStencil);
  ApplicationModel* app_ = nullptr;
};

class Document {
 public:
  Document() = default;
  bool isNull() const { return doc_ == nullptr; }
  Masters masters();
  Pages pages();
  // Writes the drawing by the path's extension: ".svg", ".html", else the
  // drawing XML.  kFileFailed when it cannot be written.
  int32_t saveAs(const std::string& path);
  // The encoding the texts set on the drawing are in (ISO-8859-1 unless
  // set); the saved files declare it.
  int32_t setTextEncoding(text::Charset encoding);
  // What the drawing holds, for writers that put several drawings in one
  // file; null for an empty handle.
  const drawing::Document* model() const { return doc_ ? doc_->drawing.get() : nullptr; }

 private:
  friend class Application;
  friend class Documents;
  Document(ApplicationModel* app, OpenDocument* doc) : app_(app), doc_(doc) {}
  ApplicationModel* app_ = nullptr;
  OpenDocument* doc_ = nullptr;
};

class Masters {
 public:
  Masters() = default;
  Master item(std::string_view name);

 private:
  friend class Document;
  explicit Masters(drawing::Document* doc) : doc_(doc) {}
  drawing::Document* doc_ = nullptr;
};

class Master {
 public:
  Master() = default;
  bool isNull() const { return master_ == nullptr; }
  std::string name();

 private:
  friend class Masters;
  friend class Shape;
  friend class Page;
  explicit Master(std::shared_ptr<const drawing::Master> master) : master_(std::move(master)) {}
  std::shared_ptr<const drawing::Master> master_;
};

class Pages {
 public:
  Pages() = default;
  // 1-based.
  Page item(int index);
  // A new page at the end.
  Page add();

 private:
  friend class Document;
  explicit Pages(OpenDocument* doc) : doc_(doc) {}
  OpenDocument* doc_ = nullptr;
};

class Page {
 public:
  Page() = default;
  bool isNull() const { return page_ == nullptr; }
  int32_t setName(std::string_view name);
  PageSheet pageSheet();
  Shapes shapes();
  // A new shape of the master with its pin at (x, y).
  Shape drop(const Master& master, double x, double y);
  // Moves everything so that the drawing's extent is centred on the page.
  int32_t centerDrawing();
  // Sizes the page to the drawing's extent plus a margin.
  int32_t resizeToFitContents();

 private:
  friend class Pages;
  explicit Page(HostPage* page) : page_(page) {}
  HostPage* page_ = nullptr;
};

class PageSheet {
 public:
  PageSheet() = default;
  // "PageWidth", "PageHeight".
  Cell cells(std::string_view name);

 private:
  friend class Page;
  explicit PageSheet(HostPage* page) : page_(page) {}
  HostPage* page_ = nullptr;
};

class Shapes {
 public:
  Shapes() = default;
  // The earliest dropped shape of that name.
  Shape item(std::string_view name);

 private:
  friend class Page;
  explicit Shapes(HostPage* page) : page_(page) {}
  HostPage* page_ = nullptr;
};

class Shape {
 public:
  Shape() = default;
  bool isNull() const { return shape_ == nullptr; }
  int32_t setName(std::string_view name);
  int32_t setText(std::string_view text);
  // A hover text for the pictures, such as a box's full source text; line
  // feeds break its lines.
  int32_t setComment(std::string_view text);
  Master master();
  // "PinX", "PinY", "Width", "Height"; "BeginX", "BeginY", "EndX", "EndY"
  // on connectors; "LockTextEdit"; "Controls.<name>[.x|.y]";
  // "Connections.<name>[.X|.Y]" and "Connections.Row_<n>[.X|.Y]".
  Cell cells(std::string_view name);
  Hyperlink addHyperlink();
  Section section(int section);
  // Rows in the section; 0 when the call fails.
  int rowCount(int section);
  // Adds a connection row at the end of the section, whatever the position
  // argument says, so the new row's index is the previous row count.
  // Returns that index, -1 on failure.
  int addRow(int section, int position, int tag);

 private:
  friend class Page;
  friend class Shapes;
  Shape(HostPage* page, drawing::Shape* shape) : page_(page), shape_(shape) {}
  HostPage* page_ = nullptr;
  drawing::Shape* shape_ = nullptr;
};

class Section {
 public:
  Section() = default;
  Row row(int index);

 private:
  friend class Shape;
  Section(HostPage* page, drawing::Shape* shape) : page_(page), shape_(shape) {}
  HostPage* page_ = nullptr;
  drawing::Shape* shape_ = nullptr;
};

class Row {
 public:
  Row() = default;
  // 0 X, 1 Y, 2 DirX, 3 DirY, 4 Type.
  Cell cell(int index);

 private:
  friend class Section;
  Row(HostPage* page, drawing::Shape* shape, size_t row) : page_(page), shape_(shape), row_(row) {}
  HostPage* page_ = nullptr;
  drawing::Shape* shape_ = nullptr;
  size_t row_ = 0;
};

class Cell {
 public:
  Cell() = default;
  bool isNull() const { return kind_ == Kind::None; }
  // Sets the value (inches); a formula the cell had is replaced.
  int32_t setResult(double value);
  // "Width*k", "Height*k" on connection-row cells; "No Formula" on any
  // cell removes its formula and keeps its value.
  int32_t setFormula(std::string_view formula);
  // Glues a connector's begin or end to a connection point of another
  // shape on the same page; the end then follows that point.
  int32_t glueTo(const Cell& target);

 private:
  friend class Shape;
  friend class Row;
  friend class PageSheet;
  enum class Kind { None, PageWidth, PageHeight, PinX, PinY, Width, Height,
                    BeginX, BeginY, EndX, EndY, Named, RowCell };
  Kind kind_ = Kind::None;
  HostPage* page_ = nullptr;
  drawing::Shape* shape_ = nullptr;
  std::string name_;  // Kind::Named
  size_t row_ = 0;    // Kind::RowCell
  int column_ = 0;
};

class Hyperlink {
 public:
  Hyperlink() = default;
  int32_t setDescription(std::string_view text);
  int32_t setAddress(std::string_view text);
  int32_t setSubAddress(std::string_view text);

 private:
  friend class Shape;
  Hyperlink(drawing::Shape* shape, size_t index) : shape_(shape), index_(index) {}
  drawing::Hyperlink* link();
  drawing::Shape* shape_ = nullptr;
  size_t index_ = 0;
};

}  // namespace host
