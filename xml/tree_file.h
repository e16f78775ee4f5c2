// Compressed tree files: one zlib stream holding the XML declaration line and
// a parse tree.  A file is taken for one when its stem is exactly "st".
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "files/atomic_file.h"
#include "xml/document.h"

#include <zlib.h>

namespace xml {

inline constexpr std::string_view kTreeDeclaration =
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n";

// Prints the compressor's set-up failure message ("zpipe: ...") to stderr.
void reportCompressorError(int code);

// Compresses text as one zlib stream (default level, window bits 15, memory
// level 8) and writes it to out.  Returns 0, or the zlib code when the
// compressor cannot be set up (the message is printed, nothing written).
int compressTextToFile(std::string_view text, std::FILE* out);

// Streams one zlib stream with the same settings into a file that replaces
// path only when finish() succeeds.
class CompressedFileWriter {
 public:
  explicit CompressedFileWriter(std::string path);
  ~CompressedFileWriter();
  CompressedFileWriter(const CompressedFileWriter&) = delete;
  CompressedFileWriter& operator=(const CompressedFileWriter&) = delete;

  // 0, or a zlib code (message printed), or Z_ERRNO when the file cannot
  // be created (nothing printed).
  int begin();
  bool write(std::string_view bytes);
  bool finish();

 private:
  bool drain(int flush);

  files::AtomicFile file_;
  z_stream stream_{};
  bool started_ = false;
  bool failed_ = false;
  std::unique_ptr<unsigned char[]> out_;
};

// Writes the declaration line, then whatever produce() writes, as one
// compressed tree file.  False when the file could not be written; the
// previous file at path is then left as it was.
bool writeTreeFile(const std::string& path,
                   const std::function<bool(CompressedFileWriter&)>& produce);
bool writeTreeFile(const std::string& path, std::string_view treeText);

// The decompressed bytes of a compressed tree file; a damaged or cut-off
// file gives its good prefix, an unreadable one the empty text.  nullopt
// when the text would exceed maxBytes (a hostile file can expand a
// thousandfold: text that inflates far beyond what trees do is counted
// rather than held, so such a file is refused at the limit having taken
// little memory) or memory runs out.
std::optional<std::string> decompressFile(const std::string& path, uint64_t maxBytes);
// The size limit decompressFile is given by the loader: a share of the
// machine's memory that leaves room for the document built from the text.
uint64_t treeTextLimit();

// The file stem after both separators and the last extension are removed.
std::string treeFileStem(std::string_view path);

// Opens an XML document from path, decompressing first when the stem is
// "st".  nullptr (the empty reference) when loading fails; an empty or
// missing compressed file gives an empty document.
std::unique_ptr<xml::Document> loadTreeDocument(const std::string& path);
std::unique_ptr<xml::Document> loadTreeDocument(const std::string& path, uint64_t maxBytes);

}  // namespace xml
