#include "render/host/host.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "drawing/geometry.h"
#include "drawing/save.h"
#include "drawing/template_file.h"

namespace host {
namespace {

constexpr double kFitMargin = 0.25;  // inches kept round a drawing fitted to its page

std::string fileNameOf(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string folderOf(const std::string& path) {
  const size_t cut = path.find_last_of("/\\");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::unique_ptr<drawing::Page> newPage(int number) {
  auto page = std::make_unique<drawing::Page>();
  page->name = "Page-" + std::to_string(number);
  return page;
}

// Splits "Name.X" into the name and the column (0 for X, 1 for Y).
std::pair<std::string_view, int> splitColumn(std::string_view rest) {
  const size_t dot = rest.rfind('.');
  if (dot != std::string_view::npos && dot + 2 == rest.size()) {
    const char c = rest[dot + 1];
    if (c == 'x' || c == 'X') return {rest.substr(0, dot), 0};
    if (c == 'y' || c == 'Y') return {rest.substr(0, dot), 1};
  }
  return {rest, 0};
}

// "Row_<n>" with n from 1; 0 when the text is not of that form.
size_t rowNumber(std::string_view name) {
  if (name.substr(0, 4) != "Row_" || name.size() == 4) return 0;
  size_t n = 0;
  for (char c : name.substr(4)) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + static_cast<size_t>(c - '0');
    if (n > 1000000000) return 0;
  }
  return n;
}

}  // namespace

// ---- Application ----------------------------------------------------------

Application::Application() = default;
Application::~Application() = default;

int attachDrawingHost(Application& application) {
  application.model_ = std::make_unique<ApplicationModel>();
  record(kOk);
  return 1;
}

Documents Application::documents() {
  if (!model_) return record(kNotObtained), Documents();
  record(kOk);
  return Documents(model_.get());
}

int32_t Application::setLanguage(uint16_t languageId) {
  if (!model_) return record(kNotObtained);
  model_->language = languageId;
  return record(kOk);
}

// ---- Documents ------------------------------------------------------------

Document Documents::add(const std::string& templatePath) {
  if (!app_) return record(kNotObtained), Document();
  errors::Result<TemplateContent> content = drawing::loadTemplateFile(templatePath);
  if (!content) return record(kFileFailed), Document();
  return open(fileNameOf(templatePath), std::move(content).value(), folderOf(templatePath),
              [](const std::string& path) -> std::optional<TemplateContent> {
                errors::Result<TemplateContent> stencil = drawing::loadTemplateFile(path);
                if (!stencil) return std::nullopt;
                return std::move(stencil).value();
              });
}

Document Documents::open(std::string templateName, TemplateContent content, const std::string& folder,
                         const std::function<std::optional<TemplateContent>(const std::string&)>& loadStencil) {
  auto opened = std::make_unique<OpenDocument>();
  opened->drawing = std::make_unique<drawing::Document>();
  drawing::Document& drawing = *opened->drawing;
  drawing.templateName = std::move(templateName);
  int drawings = 1;
  for (const auto& doc : app_->documents) drawings += doc->isStencil ? 0 : 1;
  opened->fileName = "Drawing" + std::to_string(drawings);
  for (auto& master : content.masters) drawing.masters.push_back(std::move(master));
  opened->addPage(newPage(1));

  // Stencils open beside the drawing, once each; one that cannot be read
  // stays closed and the drawing opens without it.
  for (const std::string& stencil : content.stencils) {
    const std::string name = fileNameOf(stencil);
    bool open = false;
    for (const auto& doc : app_->documents) open = open || equalsIgnoringCase(doc->fileName, name);
    if (open) continue;
    const std::string path = folder.empty() ? stencil : folder + "/" + stencil;
    auto stencilContent = loadStencil(path);
    if (!stencilContent) continue;
    auto doc = std::make_unique<OpenDocument>();
    doc->drawing = std::make_unique<drawing::Document>();
    doc->path = path;
    doc->fileName = name;
    doc->isStencil = true;
    for (auto& master : stencilContent->masters) doc->drawing->masters.push_back(std::move(master));
    app_->documents.push_back(std::move(doc));
  }

  app_->documents.push_back(std::move(opened));
  record(kOk);
  return Document(app_, app_->documents.back().get());
}

Document Documents::item(std::string_view fileName) {
  if (!app_) return record(kNotObtained), Document();
  for (const auto& doc : app_->documents)
    if (equalsIgnoringCase(doc->fileName, fileName)) return record(kOk), Document(app_, doc.get());
  record(kNotFound);
  return Document();
}

// ---- Document, masters, pages ---------------------------------------------

Masters Document::masters() {
  if (!doc_) return record(kNotObtained), Masters();
  record(kOk);
  return Masters(doc_->drawing.get());
}

Pages Document::pages() {
  if (!doc_) return record(kNotObtained), Pages();
  record(kOk);
  return Pages(doc_);
}

int32_t Document::saveAs(const std::string& path) {
  if (!doc_) return record(kNotObtained);
  for (const auto& page : doc_->pages) page->settle();
  doc_->drawing->language = languageTag(app_->language);
  const CellsInXml cells(*doc_);
  if (!drawing::saveDrawing(*doc_->drawing, path, &cells).ok()) return record(kFileFailed);
  doc_->path = path;
  return record(kOk);
}

int32_t Document::setTextEncoding(text::Charset encoding) {
  if (!doc_) return record(kNotObtained);
  doc_->drawing->encoding = encoding;
  return record(kOk);
}

Master Masters::item(std::string_view name) {
  if (!doc_) return record(kNotObtained), Master();
  for (const auto& master : doc_->masters)
    if (master->name == name) return record(kOk), Master(master);
  record(kNotFound);
  return Master();
}

std::string Master::name() {
  if (!master_) return record(kNotObtained), std::string();
  record(kOk);
  return master_->name;
}

Page Pages::item(int index) {
  if (!doc_) return record(kNotObtained), Page();
  if (index < 1 || static_cast<size_t>(index) > doc_->pages.size())
    return record(kInvalidArgument), Page();
  record(kOk);
  return Page(doc_->pages[static_cast<size_t>(index) - 1].get());
}

Page Pages::add() {
  if (!doc_) return record(kNotObtained), Page();
  if (doc_->isStencil) return record(kInvalidArgument), Page();
  HostPage& page = doc_->addPage(newPage(static_cast<int>(doc_->pages.size()) + 1));
  record(kOk);
  return Page(&page);
}

// ---- Page -----------------------------------------------------------------

int32_t Page::setName(std::string_view name) {
  if (!page_) return record(kNotObtained);
  if (name.empty()) return record(kInvalidArgument);
  page_->page->name = std::string(name);
  return record(kOk);
}

PageSheet Page::pageSheet() {
  if (!page_) return record(kNotObtained), PageSheet();
  record(kOk);
  return PageSheet(page_);
}

Shapes Page::shapes() {
  if (!page_) return record(kNotObtained), Shapes();
  record(kOk);
  return Shapes(page_);
}

Shape Page::drop(const Master& master, double x, double y) {
  if (!page_ || !master.master_) return record(kNotObtained), Shape();
  if (!std::isfinite(x) || !std::isfinite(y)) return record(kInvalidArgument), Shape();
  const drawing::Master& def = *master.master_;
  auto shape = std::make_unique<drawing::Shape>();
  drawing::Page& page = *page_->page;
  shape->id = page.nextId++;
  shape->master = master.master_;
  shape->width = def.width;
  shape->height = def.height;
  shape->pinX = x;
  shape->pinY = y;
  shape->begin.at = {x - def.width * 0.5, y};
  shape->end.at = {x + def.width * 0.5, y};
  ShapeCells& cells = page_->of(*shape);
  for (const drawing::ConnectionPointDef& point : def.connections) {
    ConnectionRow row;
    row.name = point.name;
    row.cells[0] = {point.at.x * def.width, CellValue::Formula::WidthTimes, point.at.x};
    row.cells[1] = {point.at.y * def.height, CellValue::Formula::HeightTimes, point.at.y};
    row.cells[2].value = point.direction.x;
    row.cells[3].value = point.direction.y;
    row.snapToSide = point.snapToSide;
    cells.rows.push_back(row);
  }
  for (const drawing::ControlDef& control : def.controls) {
    cells.named.emplace_back("Controls." + control.name + ".X", control.x * def.width);
    cells.named.emplace_back("Controls." + control.name + ".Y", control.y);
  }
  drawing::Shape& added = *shape;
  page.shapes.push_back(std::move(shape));
  page.changed();
  page.rename(added, "Sheet." + std::to_string(added.id));
  record(kOk);
  return Shape(page_, &added);
}

// The drawing's extent as its cells now place it; none for an empty page.
std::optional<drawing::Box> settledExtent(HostPage& page) {
  page.settle();
  return drawing::drawingExtent(*page.page, drawing::pageRoutes(*page.page));
}

// Moves the drawing, its glued ends following their shapes.
void moveSettled(HostPage& page, double dx, double dy) {
  drawing::moveDrawing(*page.page, dx, dy);
  page.settle();
}

int32_t Page::centerDrawing() {
  if (!page_) return record(kNotObtained);
  if (auto extent = settledExtent(*page_)) {
    const drawing::Point centre = extent->centre();
    moveSettled(*page_, page_->page->width * 0.5 - centre.x, page_->page->height * 0.5 - centre.y);
  }
  return record(kOk);
}

int32_t Page::resizeToFitContents() {
  if (!page_) return record(kNotObtained);
  if (auto extent = settledExtent(*page_)) {
    page_->page->width = extent->width() + 2 * kFitMargin;
    page_->page->height = extent->height() + 2 * kFitMargin;
    moveSettled(*page_, kFitMargin - extent->left, kFitMargin - extent->bottom);
  }
  return record(kOk);
}

Cell PageSheet::cells(std::string_view name) {
  if (!page_) return record(kNotObtained), Cell();
  Cell cell;
  if (name == "PageWidth")
    cell.kind_ = Cell::Kind::PageWidth;
  else if (name == "PageHeight")
    cell.kind_ = Cell::Kind::PageHeight;
  else
    return record(kNotFound), Cell();
  cell.page_ = page_;
  record(kOk);
  return cell;
}

Shape Shapes::item(std::string_view name) {
  if (!page_) return record(kNotObtained), Shape();
  drawing::Shape* shape = page_->page->find(std::string(name));
  if (!shape) return record(kNotFound), Shape();
  record(kOk);
  return Shape(page_, shape);
}

// ---- Shape ----------------------------------------------------------------

int32_t Shape::setName(std::string_view name) {
  if (!shape_) return record(kNotObtained);
  if (name.empty()) return record(kInvalidArgument);
  page_->page->rename(*shape_, std::string(name));
  return record(kOk);
}

int32_t Shape::setText(std::string_view text) {
  if (!shape_) return record(kNotObtained);
  shape_->text = std::string(text);
  shape_->textSet = true;
  return record(kOk);
}

int32_t Shape::setComment(std::string_view text) {
  if (!shape_) return record(kNotObtained);
  shape_->comment = std::string(text);
  return record(kOk);
}

Master Shape::master() {
  if (!shape_) return record(kNotObtained), Master();
  record(kOk);
  return Master(shape_->master);
}

Cell Shape::cells(std::string_view name) {
  if (!shape_) return record(kNotObtained), Cell();
  Cell cell;
  cell.page_ = page_;
  cell.shape_ = shape_;
  const bool connector = shape_->isConnector();
  using K = Cell::Kind;
  static const std::pair<std::string_view, K> kFixed[] = {
      {"PinX", K::PinX},     {"PinY", K::PinY},     {"Width", K::Width}, {"Height", K::Height},
      {"BeginX", K::BeginX}, {"BeginY", K::BeginY}, {"EndX", K::EndX},   {"EndY", K::EndY}};
  for (const auto& [cellName, kind] : kFixed) {
    if (name != cellName) continue;
    const bool endCell = kind == K::BeginX || kind == K::BeginY || kind == K::EndX || kind == K::EndY;
    if (endCell != connector) return record(kNotFound), Cell();
    cell.kind_ = kind;
    return record(kOk), cell;
  }
  if (name == "LockTextEdit") {
    cell.kind_ = K::Named;
    cell.name_ = "LockTextEdit";
    return record(kOk), cell;
  }
  if (name.substr(0, 9) == "Controls.") {
    auto [control, column] = splitColumn(name.substr(9));
    std::string canonical = "Controls." + std::string(control) + (column == 0 ? ".X" : ".Y");
    if (!page_->of(*shape_).namedCell(canonical)) return record(kNotFound), Cell();
    cell.kind_ = K::Named;
    cell.name_ = canonical;
    return record(kOk), cell;
  }
  if (name.substr(0, 12) == "Connections.") {
    auto [rowName, column] = splitColumn(name.substr(12));
    const std::vector<ConnectionRow>& rows = page_->of(*shape_).rows;
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].name != rowName) continue;
      cell.kind_ = K::RowCell;
      cell.row_ = i;
      cell.column_ = column;
      return record(kOk), cell;
    }
    const size_t n = rowNumber(rowName);
    if (n >= 1 && n <= rows.size()) {
      cell.kind_ = K::RowCell;
      cell.row_ = n - 1;
      cell.column_ = column;
      return record(kOk), cell;
    }
  }
  record(kNotFound);
  return Cell();
}

Hyperlink Shape::addHyperlink() {
  if (!shape_) return record(kNotObtained), Hyperlink();
  shape_->hyperlinks.emplace_back();
  record(kOk);
  return Hyperlink(shape_, shape_->hyperlinks.size() - 1);
}

Section Shape::section(int section) {
  if (!shape_) return record(kNotObtained), Section();
  if (section != kConnectionSection) return record(kInvalidArgument), Section();
  record(kOk);
  return Section(page_, shape_);
}

int Shape::rowCount(int section) {
  if (!shape_) return record(kNotObtained), 0;
  if (section != kConnectionSection) return record(kInvalidArgument), 0;
  record(kOk);
  return static_cast<int>(page_->of(*shape_).rows.size());
}

int Shape::addRow(int section, int /*position*/, int /*tag*/) {
  if (!shape_) return record(kNotObtained), -1;
  if (section != kConnectionSection || shape_->isConnector()) return record(kInvalidArgument), -1;
  ConnectionRow row;
  row.added = true;
  std::vector<ConnectionRow>& rows = page_->of(*shape_).rows;
  rows.push_back(row);
  record(kOk);
  return static_cast<int>(rows.size()) - 1;
}

Row Section::row(int index) {
  if (!shape_) return record(kNotObtained), Row();
  if (index < 0 || static_cast<size_t>(index) >= page_->of(*shape_).rows.size())
    return record(kInvalidArgument), Row();
  record(kOk);
  return Row(page_, shape_, static_cast<size_t>(index));
}

Cell Row::cell(int index) {
  if (!shape_) return record(kNotObtained), Cell();
  if (index < 0 || index > 4) return record(kInvalidArgument), Cell();
  Cell cell;
  cell.kind_ = Cell::Kind::RowCell;
  cell.page_ = page_;
  cell.shape_ = shape_;
  cell.row_ = row_;
  cell.column_ = index;
  record(kOk);
  return cell;
}

// ---- Cell -----------------------------------------------------------------

int32_t Cell::setResult(double value) {
  if (kind_ == Kind::None) return record(kNotObtained);
  if (!std::isfinite(value)) return record(kInvalidArgument);
  page_->page->changed();
  ShapeCells* cells = shape_ ? &page_->of(*shape_) : nullptr;
  switch (kind_) {
    case Kind::PageWidth:
    case Kind::PageHeight:
      if (value <= 0.0) return record(kInvalidArgument);
      (kind_ == Kind::PageWidth ? page_->page->width : page_->page->height) = value;
      break;
    case Kind::PinX: shape_->pinX = value; break;
    case Kind::PinY: shape_->pinY = value; break;
    case Kind::Width:
    case Kind::Height:
      if (value < 0.0) return record(kInvalidArgument);
      (kind_ == Kind::Width ? shape_->width : shape_->height) = value;
      break;
    // Setting an end by value frees it from its glue.
    case Kind::BeginX: shape_->begin.at.x = value; cells->beginGlue = {}; break;
    case Kind::BeginY: shape_->begin.at.y = value; cells->beginGlue = {}; break;
    case Kind::EndX: shape_->end.at.x = value; cells->endGlue = {}; break;
    case Kind::EndY: shape_->end.at.y = value; cells->endGlue = {}; break;
    case Kind::Named:
      if (double* cell = cells->namedCell(name_))
        *cell = value;
      else
        cells->named.emplace_back(name_, value);
      break;
    case Kind::RowCell:
      cells->rows[row_].cells[column_] = {value, CellValue::Formula::None, 0.0};
      break;
    case Kind::None: break;
  }
  return record(kOk);
}

int32_t Cell::setFormula(std::string_view formula) {
  if (kind_ == Kind::None) return record(kNotObtained);
  if (formula == "No Formula") {
    if (kind_ == Kind::RowCell) {
      page_->page->changed();
      CellValue& cell = page_->of(*shape_).rows[row_].cells[column_];
      cell = {page_->evaluate(*shape_, cell), CellValue::Formula::None, 0.0};
    }
    return record(kOk);
  }
  if (kind_ != Kind::RowCell) return record(kInvalidArgument);
  page_->page->changed();
  CellValue::Formula kind;
  std::string_view rest;
  if (formula.substr(0, 6) == "Width*") {
    kind = CellValue::Formula::WidthTimes;
    rest = formula.substr(6);
  } else if (formula.substr(0, 7) == "Height*") {
    kind = CellValue::Formula::HeightTimes;
    rest = formula.substr(7);
  } else {
    return record(kInvalidArgument);
  }
  const std::string factorText(rest);
  char* end = nullptr;
  const double factor = std::strtod(factorText.c_str(), &end);
  if (factorText.empty() || *end != '\0' || !std::isfinite(factor))
    return record(kInvalidArgument);
  page_->of(*shape_).rows[row_].cells[column_] = {0.0, kind, factor};
  return record(kOk);
}

int32_t Cell::glueTo(const Cell& target) {
  if (kind_ == Kind::None || target.kind_ == Kind::None) return record(kNotObtained);
  const bool begin = kind_ == Kind::BeginX || kind_ == Kind::BeginY;
  const bool end = kind_ == Kind::EndX || kind_ == Kind::EndY;
  if (!begin && !end) return record(kInvalidArgument);
  if (target.kind_ != Kind::RowCell || target.shape_ == shape_ || target.page_ != page_)
    return record(kInvalidArgument);
  page_->page->changed();
  const Glue glue{target.shape_, target.row_};
  const drawing::Point at = page_->rowPosition(*target.shape_, target.row_);
  ShapeCells& cells = page_->of(*shape_);
  if (begin) {
    cells.beginGlue = glue;
    shape_->begin.at = at;
  } else {
    cells.endGlue = glue;
    shape_->end.at = at;
  }
  return record(kOk);
}

// ---- Hyperlink ------------------------------------------------------------

drawing::Hyperlink* Hyperlink::link() {
  return shape_ ? &shape_->hyperlinks[index_] : nullptr;
}

int32_t Hyperlink::setDescription(std::string_view text) {
  if (!link()) return record(kNotObtained);
  link()->description = std::string(text);
  return record(kOk);
}

int32_t Hyperlink::setAddress(std::string_view text) {
  if (!link()) return record(kNotObtained);
  link()->address = std::string(text);
  return record(kOk);
}

int32_t Hyperlink::setSubAddress(std::string_view text) {
  if (!link()) return record(kNotObtained);
  link()->subAddress = std::string(text);
  return record(kOk);
}

}  // namespace host
