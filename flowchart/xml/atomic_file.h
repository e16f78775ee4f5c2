// A file written through a temporary file beside its target and renamed
// over the target only when complete, so that a failed or interrupted
// write never destroys the previous content.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace xml {

class AtomicFile {
 public:
  explicit AtomicFile(std::string target);
  ~AtomicFile();  // discards the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary file; false when it cannot be created.
  bool open();
  std::FILE* stream() const { return file_; }
  bool write(std::string_view bytes);
  // Flushes, closes and renames over the target; false (and the target
  // untouched) when any write failed or the rename is refused.
  bool commit();

 private:
  void discard();

  std::string target_;
  std::string temp_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// Creates an empty temporary file beside target under a name no other file
// has, for writers that need a path rather than a stream; empty when none
// can be made.  The caller renames or removes it.
std::string reserveTemporaryFile(const std::string& target);

// Writes the whole text to path atomically.
bool writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace xml
