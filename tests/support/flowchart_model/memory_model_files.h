// The model builder's files held in memory, for its tests.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/flowchart_model/model_files.h"

namespace flowchart::testing {

// The builder's files held in memory: the results and source texts given,
// the results saved kept as their text.
class MemoryModelFiles final : public ModelFiles {
 public:
  MemoryModelFiles(std::string results, std::string source)
      : results_(std::move(results)), source_(std::move(source)) {}
  std::unique_ptr<xml::Document> loadResults() override { return xml::Document::loadText(results_); }
  std::optional<SourceLines> readSource(int32_t count) override {
    return SourceLines::fromText(count < 1 ? std::string() : source_, count);
  }
  bool saveResults(const Pieces& pieces) override {
    std::string saved;
    if (!pieces([&saved](std::string_view piece) { saved += piece; return true; })) return false;
    results_ = std::move(saved);
    return true;
  }
  const std::string& results() const { return results_; }

 private:
  std::string results_;
  std::string source_;
};

}  // namespace flowchart::testing
