#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/method_choice.h"
#include "pipeline/method_measures.h"
#include "text/json_text.h"
#include "text/text_output.h"
#include "pipeline/parsed_source.h"

namespace cli {

using text::counted;
using text::located;
using text::numberText;

namespace {

using pipeline::FileSummary;

std::string lines(int32_t first, int32_t last) {
  return std::to_string(first) + "-" + std::to_string(last);
}

std::string wholeText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.0f", value);
  return text;
}

void printTable(const std::string& file, const FileSummary& summary, const pipeline::MeasuredSource& measured,
                text::Charset charset) {
  std::printf("%s: %s, %s; NLOC %s, Halstead volume %s\n", file.c_str(),
              counted(summary.classes.size(), "class").c_str(), counted(summary.methods.size(), "method").c_str(),
              numberText(summary.nloc).c_str(), wholeText(measured.file.halstead.volume()).c_str());
  std::printf("%-11s %6s %4s %4s %6s  %s\n", "LINES", "NLOC", "CC", "COG", "HV", "NAME");
  for (size_t c = 0; c < summary.classes.size(); ++c) {
    const pipeline::ClassSummary& cls = summary.classes[c];
    std::printf("%-11s %6s %4s %4s %6s  %s %s\n", lines(cls.line, cls.endLine).c_str(), numberText(cls.nloc).c_str(),
                "", "", "", cls.kind(), utf8Text(cls.qualifiedName, charset).c_str());
    for (size_t m = 0; m < summary.methods.size(); ++m) {
      const pipeline::MethodSummary& method = summary.methods[m];
      if (method.classIndex != c) continue;
      const metrics::MethodMeasures* measures = measured.withBody(m);
      std::printf("%-11s %6s %4s %4s %6s    %s%s\n", lines(method.line, method.endLine).c_str(),
                  numberText(method.nloc).c_str(), measures ? std::to_string(measures->cyclomatic).c_str() : "",
                  measures ? std::to_string(measures->cognitive).c_str() : "",
                  measures ? wholeText(measures->halstead.volume()).c_str() : "",
                  utf8Text(methodLabel(summary, method), charset).c_str(), measures ? "" : " (no body)");
    }
  }
}

void printJson(const std::string& file, const FileSummary& summary, const pipeline::MeasuredSource& measured,
               text::Charset charset) {
  using text::Json;
  using text::jsonNumber;
  using text::jsonText;
  const metrics::Halstead& halstead = measured.file.halstead;
  Json out = {{"file", jsonText(file)},
              {"nloc", jsonNumber(summary.nloc)},
              {"halsteadVolume", text::jsonDecimal(halstead.volume())},
              {"halsteadEffort", text::jsonDecimal(halstead.effort())},
              {"halstead", pipeline::halsteadJson(halstead)},
              {"commentLines", jsonNumber(summary.commentLines)}};
  Json& classes = out["classes"] = Json::array();
  for (size_t c = 0; c < summary.classes.size(); ++c) {
    const pipeline::ClassSummary& cls = summary.classes[c];
    classes.push_back({{"name", jsonText(utf8Text(cls.qualifiedName, charset))},
                       {"kind", jsonText(cls.kind())},
                       {"line", cls.line},
                       {"endLine", cls.endLine},
                       {"nloc", jsonNumber(cls.nloc)},
                       {"complexity", jsonNumber(measured.classComplexity(summary, c))}});
  }
  Json& methods = out["methods"] = Json::array();
  for (size_t m = 0; m < summary.methods.size(); ++m) {
    const pipeline::MethodSummary& method = summary.methods[m];
    const pipeline::ClassSummary& owner = summary.classes[method.classIndex];
    Json entry = {{"class", jsonText(utf8Text(owner.qualifiedName, charset))},
                  {"classLine", owner.line},
                  {"name", jsonText(utf8Text(pipeline::shownName(method), charset))},
                  {"signature", jsonText(utf8Text(method.isInitializer() ? pipeline::shownName(method) : method.signature,
                                                  charset))},
                  {"line", method.line},
                  {"endLine", method.endLine},
                  {"nloc", jsonNumber(method.nloc)}};
    pipeline::addMeasures(entry, measured.withBody(m));
    entry["commentLines"] = jsonNumber(method.commentLines);
    methods.push_back(std::move(entry));
  }
  std::fputs((text::jsonLine(out) + "\n").c_str(), stdout);
}

}  // namespace

errors::Result<pipeline::ParsedSource> parseSource(const std::string& path, int languageLevel) {
  errors::Result<pipeline::ParsedSource> parsed = pipeline::ParsedSource::parse(path, languageLevel);
  if (!parsed) {
    const errors::Problem& problem = parsed.problem();
    std::fprintf(stderr, "%s\n", located(path, problem.line, problem.message).c_str());
    return problem;
  }
  return std::move(*parsed);
}

CommandResult runList(const ListRequest& request) {
  errors::Result<pipeline::ParsedSource> parsed = parseSource(request.source, request.languageLevel);
  if (!parsed) return parsed.problem();
  const pipeline::MeasuredSource measured = pipeline::measureSource(*parsed);
  if (request.json) printJson(request.source, parsed->summary(), measured, parsed->charset());
  else printTable(request.source, parsed->summary(), measured, parsed->charset());
  return Finished{};
}

}  // namespace cli
