// What the model builder reads and writes: the results document, the
// source's lines, and the results again with the model in them.  The
// builder itself holds everything in memory; mode 8 keeps these in its
// working folder (ModelFolder), as ninja's disk interface separates the
// real disk from the tests'.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/flowchart_model/source_text.h"
#include "xml/document.h"

namespace flowchart {

class ModelFiles {
 public:
  // Hands the new results text to write in pieces; false when a piece
  // was refused or the text could not be made.
  using Pieces = std::function<bool(const std::function<bool(std::string_view)>& write)>;

  virtual ~ModelFiles() = default;
  // The results document; nullptr when there is none to read.
  virtual std::unique_ptr<xml::Document> loadResults() = 0;
  // The source's first count lines; nullopt when it cannot be read.
  virtual std::optional<SourceLines> readSource(int32_t count) = 0;
  // Saves the text pieces gives; false when it was not saved, and the old
  // results stay as they were.
  virtual bool saveResults(const Pieces& pieces) = 0;
};

// The files of mode 8: workFolder/results.xml and the source file.
class ModelFolder final : public ModelFiles {
 public:
  ModelFolder(std::string workFolder, std::string sourcePath)
      : resultsPath_(std::move(workFolder) + "/results.xml"), sourcePath_(std::move(sourcePath)) {}

  std::unique_ptr<xml::Document> loadResults() override;
  std::optional<SourceLines> readSource(int32_t count) override;
  bool saveResults(const Pieces& pieces) override;

 private:
  std::string resultsPath_;
  std::string sourcePath_;
};

}  // namespace flowchart
