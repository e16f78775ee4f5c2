#include "render/host/host.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "render/host/geometry.h"
#include "render/host/save.h"
#include "render/host/template_file.h"

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

std::unique_ptr<PageModel> newPage(int number) {
  auto page = std::make_unique<PageModel>();
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
  auto content = loadTemplateFile(templatePath);
  if (!content) return record(kFileFailed), Document();
  return open(fileNameOf(templatePath), std::move(*content), folderOf(templatePath),
              [](const std::string& path) { return loadTemplateFile(path); });
}

Document Documents::open(std::string templateName, TemplateContent content, const std::string& folder,
                         const std::function<std::optional<TemplateContent>(const std::string&)>& loadStencil) {
  auto drawing = std::make_unique<DocumentModel>();
  drawing->path.clear();
  drawing->templateName = std::move(templateName);
  int drawings = 1;
  for (const auto& doc : app_->documents) drawings += doc->isStencil ? 0 : 1;
  drawing->fileName = "Drawing" + std::to_string(drawings);
  for (auto& master : content.masters) drawing->masters.push_back(std::move(master));
  drawing->pages.push_back(newPage(1));

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
    auto doc = std::make_unique<DocumentModel>();
    doc->path = path;
    doc->fileName = name;
    doc->isStencil = true;
    for (auto& master : stencilContent->masters) doc->masters.push_back(std::move(master));
    app_->documents.push_back(std::move(doc));
  }

  app_->documents.push_back(std::move(drawing));
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
  return Masters(doc_);
}

Pages Document::pages() {
  if (!doc_) return record(kNotObtained), Pages();
  record(kOk);
  return Pages(doc_);
}

int32_t Document::saveAs(const std::string& path) {
  if (!doc_) return record(kNotObtained);
  if (!saveDrawing(*doc_, app_->language, path)) return record(kFileFailed);
  doc_->path = path;
  return record(kOk);
}

int32_t Document::setTextEncoding(text::Charset encoding) {
  if (!doc_) return record(kNotObtained);
  doc_->encoding = encoding;
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
  doc_->pages.push_back(newPage(static_cast<int>(doc_->pages.size()) + 1));
  record(kOk);
  return Page(doc_->pages.back().get());
}

// ---- Page -----------------------------------------------------------------

int32_t Page::setName(std::string_view name) {
  if (!page_) return record(kNotObtained);
  if (name.empty()) return record(kInvalidArgument);
  page_->name = std::string(name);
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
  const MasterDef& def = *master.master_;
  auto shape = std::make_unique<ShapeModel>();
  shape->id = page_->nextId++;
  shape->master = master.master_;
  shape->width = def.width;
  shape->height = def.height;
  shape->pinX = x;
  shape->pinY = y;
  shape->begin = {x - def.width * 0.5, y};
  shape->end = {x + def.width * 0.5, y};
  for (const ConnectionPointDef& point : def.connections) {
    ConnectionRow row;
    row.name = point.name;
    row.cells[0] = {point.at.x * def.width, CellValue::Formula::WidthTimes, point.at.x};
    row.cells[1] = {point.at.y * def.height, CellValue::Formula::HeightTimes, point.at.y};
    row.cells[2].value = point.direction.x;
    row.cells[3].value = point.direction.y;
    row.snapToSide = point.snapToSide;
    shape->rows.push_back(row);
  }
  for (const ControlDef& control : def.controls) {
    shape->namedCells.emplace_back("Controls." + control.name + ".X", control.x * def.width);
    shape->namedCells.emplace_back("Controls." + control.name + ".Y", control.y);
  }
  ShapeModel& added = *shape;
  page_->shapes.push_back(std::move(shape));
  page_->changed();
  page_->rename(added, "Sheet." + std::to_string(added.id));
  record(kOk);
  return Shape(page_, &added);
}

int32_t Page::centerDrawing() {
  if (!page_) return record(kNotObtained);
  if (auto extent = drawingExtent(*page_, pageRoutes(*page_))) {
    const Point centre = extent->centre();
    moveDrawing(*page_, page_->width * 0.5 - centre.x, page_->height * 0.5 - centre.y);
  }
  return record(kOk);
}

int32_t Page::resizeToFitContents() {
  if (!page_) return record(kNotObtained);
  if (auto extent = drawingExtent(*page_, pageRoutes(*page_))) {
    page_->width = extent->width() + 2 * kFitMargin;
    page_->height = extent->height() + 2 * kFitMargin;
    moveDrawing(*page_, kFitMargin - extent->left, kFitMargin - extent->bottom);
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
  ShapeModel* shape = page_->find(std::string(name));
  if (!shape) return record(kNotFound), Shape();
  record(kOk);
  return Shape(page_, shape);
}

// ---- Shape ----------------------------------------------------------------

int32_t Shape::setName(std::string_view name) {
  if (!shape_) return record(kNotObtained);
  if (name.empty()) return record(kInvalidArgument);
  page_->rename(*shape_, std::string(name));
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
    if (!shape_->namedCell(canonical)) return record(kNotFound), Cell();
    cell.kind_ = K::Named;
    cell.name_ = canonical;
    return record(kOk), cell;
  }
  if (name.substr(0, 12) == "Connections.") {
    auto [rowName, column] = splitColumn(name.substr(12));
    for (size_t i = 0; i < shape_->rows.size(); ++i) {
      if (shape_->rows[i].name != rowName) continue;
      cell.kind_ = K::RowCell;
      cell.row_ = i;
      cell.column_ = column;
      return record(kOk), cell;
    }
    const size_t n = rowNumber(rowName);
    if (n >= 1 && n <= shape_->rows.size()) {
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
  return static_cast<int>(shape_->rows.size());
}

int Shape::addRow(int section, int /*position*/, int /*tag*/) {
  if (!shape_) return record(kNotObtained), -1;
  if (section != kConnectionSection || shape_->isConnector()) return record(kInvalidArgument), -1;
  ConnectionRow row;
  row.added = true;
  shape_->rows.push_back(row);
  record(kOk);
  return static_cast<int>(shape_->rows.size()) - 1;
}

Row Section::row(int index) {
  if (!shape_) return record(kNotObtained), Row();
  if (index < 0 || static_cast<size_t>(index) >= shape_->rows.size())
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
  page_->changed();
  switch (kind_) {
    case Kind::PageWidth:
    case Kind::PageHeight:
      if (value <= 0.0) return record(kInvalidArgument);
      (kind_ == Kind::PageWidth ? page_->width : page_->height) = value;
      break;
    case Kind::PinX: shape_->pinX = value; break;
    case Kind::PinY: shape_->pinY = value; break;
    case Kind::Width:
    case Kind::Height:
      if (value < 0.0) return record(kInvalidArgument);
      (kind_ == Kind::Width ? shape_->width : shape_->height) = value;
      break;
    // Setting an end by value frees it from its glue.
    case Kind::BeginX: shape_->begin.x = value; shape_->beginGlue = {}; break;
    case Kind::BeginY: shape_->begin.y = value; shape_->beginGlue = {}; break;
    case Kind::EndX: shape_->end.x = value; shape_->endGlue = {}; break;
    case Kind::EndY: shape_->end.y = value; shape_->endGlue = {}; break;
    case Kind::Named:
      if (double* cell = shape_->namedCell(name_))
        *cell = value;
      else
        shape_->namedCells.emplace_back(name_, value);
      break;
    case Kind::RowCell:
      shape_->rows[row_].cells[column_] = {value, CellValue::Formula::None, 0.0};
      break;
    case Kind::None: break;
  }
  return record(kOk);
}

int32_t Cell::setFormula(std::string_view formula) {
  if (kind_ == Kind::None) return record(kNotObtained);
  if (formula == "No Formula") {
    if (kind_ == Kind::RowCell) {
      page_->changed();
      CellValue& cell = shape_->rows[row_].cells[column_];
      cell = {shape_->evaluate(cell), CellValue::Formula::None, 0.0};
    }
    return record(kOk);
  }
  if (kind_ != Kind::RowCell) return record(kInvalidArgument);
  page_->changed();
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
  shape_->rows[row_].cells[column_] = {0.0, kind, factor};
  return record(kOk);
}

int32_t Cell::glueTo(const Cell& target) {
  if (kind_ == Kind::None || target.kind_ == Kind::None) return record(kNotObtained);
  const bool begin = kind_ == Kind::BeginX || kind_ == Kind::BeginY;
  const bool end = kind_ == Kind::EndX || kind_ == Kind::EndY;
  if (!begin && !end) return record(kInvalidArgument);
  if (target.kind_ != Kind::RowCell || target.shape_ == shape_ || target.page_ != page_)
    return record(kInvalidArgument);
  page_->changed();
  const Glue glue{target.shape_, target.row_};
  const Point at = target.shape_->rowPosition(target.row_);
  if (begin) {
    shape_->beginGlue = glue;
    shape_->begin = at;
  } else {
    shape_->endGlue = glue;
    shape_->end = at;
  }
  return record(kOk);
}

// ---- Hyperlink ------------------------------------------------------------

HyperlinkModel* Hyperlink::link() {
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
