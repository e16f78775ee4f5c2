#include "lsp/java_document.h"

#include "pipeline/method_signature.h"
#include "text/text_output.h"

namespace lsp {

void JavaDocument::update(const std::string& path, std::string text, int languageLevel) {
  path_ = path;
  errors::Result<pipeline::ParsedSource> parsed = pipeline::ParsedSource::parseText(path, std::move(text), languageLevel);
  if (!parsed) {
    syntaxProblem_ = parsed.problem();
    return;
  }
  syntaxProblem_.reset();
  methods_.clear();
  measured_.reset();
  source_ = std::make_unique<pipeline::ParsedSource>(std::move(*parsed));
  measured_ = std::make_unique<pipeline::MeasuredSource>(pipeline::measureSource(*source_));
  const pipeline::FileSummary& summary = source_->summary();
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    const pipeline::MethodSummary& method = summary.methods[m];
    MethodEntry entry;
    entry.index = m;
    entry.measures = measured_->withBody(m);
    findings::Place& place = entry.place;
    place.path = path;
    place.method = text::utf8Text(summary.displayName(method), source_->charset());
    place.signature = text::utf8Text(pipeline::methodLabel(summary, method), source_->charset());
    const metrics::MethodMeasures* found = measured_->byMethod[m];
    place.line = found ? found->nameLine : method.line;
    place.endLine = method.endLine;
    place.measures.nloc = method.nloc;
    if (entry.measures) {
      place.measures.cyclomatic = entry.measures->cyclomatic;
      place.measures.cognitive = entry.measures->cognitive;
    }
    methods_.push_back(std::move(entry));
  }
}

const MethodEntry* JavaDocument::methodAt(int32_t line) const {
  if (!source_) return nullptr;
  const pipeline::FileSummary& summary = source_->summary();
  const MethodEntry* best = nullptr;
  for (const MethodEntry& entry : methods_) {
    const pipeline::MethodSummary& method = summary.methods[entry.index];
    if (line < method.line || line > method.endLine) continue;
    // A method with a body before one without; then the innermost.
    const bool better = !best || (entry.measures && !best->measures) ||
                        (static_cast<bool>(entry.measures) == static_cast<bool>(best->measures) &&
                         method.endLine - method.line <=
                             summary.methods[best->index].endLine - summary.methods[best->index].line);
    if (better) best = &entry;
  }
  return best;
}

std::vector<findings::Finding> JavaDocument::findingsUnder(const findings::Thresholds& thresholds) const {
  std::vector<findings::Finding> found;
  if (!source_) return found;
  const pipeline::FileSummary& summary = source_->summary();
  for (const MethodEntry& entry : methods_) {
    if (entry.measures)
      for (findings::Finding& finding : findings::measuresOver(entry.place, thresholds))
        found.push_back(std::move(finding));
    for (java::HiddenCode& code : source_->hiddenCodeOf(summary.methods[entry.index]))
      found.push_back(findings::hiddenCode(entry.place, std::move(code)));
  }
  for (const pipeline::ParsedSource::LooseHiddenCode& loose : source_->hiddenCodeOutsideMethods()) {
    findings::Place holder;
    holder.path = path_;
    holder.method = loose.classIndex ? text::utf8Text(summary.classes[*loose.classIndex].qualifiedName, source_->charset())
                                     : std::string("the file");
    holder.signature = holder.method;
    holder.inMethod = false;
    found.push_back(findings::hiddenCode(holder, *loose.code));
  }
  return found;
}

}  // namespace lsp
