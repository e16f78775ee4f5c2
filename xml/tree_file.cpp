#include "tree_file.h"

#include "xml/large_pages.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>
#include <vector>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace xml {
namespace {

constexpr size_t kChunk = 16384;
constexpr size_t kWriterBuffer = 1 << 18;

int startDeflate(z_stream& stream) {
  stream.zalloc = Z_NULL;
  stream.zfree = Z_NULL;
  stream.opaque = Z_NULL;
  return deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY);
}

}  // namespace

void reportCompressorError(int code) {
  std::fputs("zpipe: ", stderr);
  switch (code) {
    case Z_ERRNO:
      if (std::ferror(stdin)) std::fputs("error reading stdin\n", stderr);
      if (std::ferror(stdout)) std::fputs("error writing stdout\n", stderr);
      break;
    case Z_STREAM_ERROR:
      std::fputs("invalid compression level\n", stderr);
      break;
    case Z_DATA_ERROR:
      std::fputs("invalid or incomplete deflate data\n", stderr);
      break;
    case Z_MEM_ERROR:
      std::fputs("out of memory\n", stderr);
      break;
    case Z_VERSION_ERROR:
      std::fputs("zlib version mismatch!\n", stderr);
      break;
    default:
      break;
  }
}

int compressTextToFile(std::string_view text, std::FILE* out) {
  z_stream stream{};
  int ret = startDeflate(stream);
  if (ret != Z_OK) {
    reportCompressorError(ret);
    return ret;
  }
  std::vector<unsigned char> buffer(deflateBound(&stream, static_cast<uLong>(text.size())));
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = buffer.data();
  stream.avail_out = static_cast<uInt>(buffer.size());
  ret = deflate(&stream, Z_NO_FLUSH);
  assert(ret != Z_STREAM_ERROR);
  ret = deflate(&stream, Z_FINISH);
  assert(ret != Z_STREAM_ERROR);
  const size_t produced = buffer.size() - stream.avail_out;
  deflateEnd(&stream);
  std::fwrite(buffer.data(), 1, produced, out);
  return Z_OK;
}

CompressedFileWriter::CompressedFileWriter(std::string path) : file_(std::move(path)) {}

CompressedFileWriter::~CompressedFileWriter() {
  if (started_) deflateEnd(&stream_);
}

int CompressedFileWriter::begin() {
  int ret = startDeflate(stream_);
  if (ret != Z_OK) {
    reportCompressorError(ret);
    return ret;
  }
  started_ = true;
  try {
    out_ = std::make_unique<unsigned char[]>(kWriterBuffer);
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return Z_MEM_ERROR;
  }
  if (!file_.open()) {
    failed_ = true;
    return Z_ERRNO;
  }
  return Z_OK;
}

bool CompressedFileWriter::drain(int flush) {
  do {
    stream_.next_out = out_.get();
    stream_.avail_out = static_cast<uInt>(kWriterBuffer);
    int ret = deflate(&stream_, flush);
    if (ret == Z_STREAM_ERROR) return failed_ = true, false;
    const size_t produced = kWriterBuffer - stream_.avail_out;
    if (!file_.write(std::string_view(reinterpret_cast<const char*>(out_.get()), produced)))
      return failed_ = true, false;
    if (ret == Z_STREAM_END) break;
  } while (stream_.avail_out == 0 || (flush == Z_FINISH));
  return true;
}

bool CompressedFileWriter::write(std::string_view bytes) {
  if (!started_ || failed_) return false;
  while (!bytes.empty()) {
    const size_t piece = bytes.size() > (1u << 30) ? (1u << 30) : bytes.size();
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream_.avail_in = static_cast<uInt>(piece);
    if (!drain(Z_NO_FLUSH)) return false;
    bytes.remove_prefix(piece);
  }
  return true;
}

bool CompressedFileWriter::finish() {
  if (!started_ || failed_) return false;
  stream_.next_in = Z_NULL;
  stream_.avail_in = 0;
  if (!drain(Z_FINISH)) return false;
  deflateEnd(&stream_);
  started_ = false;
  return file_.commit();
}

bool writeTreeFile(const std::string& path,
                   const std::function<bool(CompressedFileWriter&)>& produce) {
  CompressedFileWriter writer(path);
  if (writer.begin() != Z_OK) return false;
  return writer.write(kTreeDeclaration) && produce(writer) && writer.finish();
}

bool writeTreeFile(const std::string& path, std::string_view treeText) {
  return writeTreeFile(path, [&](CompressedFileWriter& writer) { return writer.write(treeText); });
}

namespace {

// Inflates the zlib stream in a file and hands on what each window
// produces, cut at its first zero byte (the text is appended as a
// zero-terminated string), with the compressed bytes consumed so far,
// until take() says stop.  A damaged or cut-off stream ends quietly after
// its good prefix.
void inflateFile(std::FILE* in, const std::function<bool(std::string_view, uint64_t)>& take) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return;
  std::vector<unsigned char> input(kChunk);
  std::vector<unsigned char> window(kChunk);
  int ret = Z_OK;
  bool stop = false;
  while (!stop && ret != Z_STREAM_END) {
    stream.avail_in = static_cast<uInt>(std::fread(input.data(), 1, kChunk, in));
    if (std::ferror(in) || stream.avail_in == 0) break;
    stream.next_in = input.data();
    do {
      stream.avail_out = static_cast<uInt>(kChunk);
      stream.next_out = window.data();
      ret = inflate(&stream, Z_NO_FLUSH);
      if (ret == Z_STREAM_ERROR || ret == Z_NEED_DICT || ret == Z_DATA_ERROR || ret == Z_MEM_ERROR) {
        stop = true;
        break;
      }
      const size_t produced = kChunk - stream.avail_out;
      const void* zero = std::memchr(window.data(), 0, produced);
      const size_t keep = zero ? static_cast<const unsigned char*>(zero) - window.data() : produced;
      if (!take(std::string_view(reinterpret_cast<const char*>(window.data()), keep), stream.total_in)) {
        stop = true;
        break;
      }
    } while (stream.avail_out == 0);
  }
  inflateEnd(&stream);
}

// Parse trees inflate ten- to twentyfold.  Text beyond this many times the
// compressed bytes read so far (and beyond the first few MiB) is not held
// but only counted: a file that inflates that far may be a bomb.
constexpr uint64_t kHeldExpansion = 64;
constexpr uint64_t kAlwaysHeld = uint64_t{2} << 20;

}  // namespace

std::optional<std::string> decompressFile(const std::string& path, uint64_t maxBytes) {
  std::string result;
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) return result;
  bool counting = false;  // holding stopped; the rest is only counted
  bool refused = false;
  uint64_t counted = 0;
  try {
    // Tree texts inflate about tenfold.  Room reserved generously costs
    // nothing until it is written, and spares copying a growing text.
    if (std::fseek(in, 0, SEEK_END) == 0) {
      const long compressed = std::ftell(in);
      if (compressed > 0) {
        const uint64_t guess = static_cast<uint64_t>(compressed) * 16 + kChunk;
        result.reserve(static_cast<size_t>(guess < maxBytes ? guess : maxBytes));
        xml::adviseLargePages(result.data(), result.capacity());
      }
      std::rewind(in);
    }
    inflateFile(in, [&](std::string_view bytes, uint64_t consumed) {
      if (!counting) {
        const uint64_t held = std::min(maxBytes, std::max(kAlwaysHeld, consumed * kHeldExpansion));
        if (result.size() + bytes.size() <= held) {
          result.append(bytes);
          return true;
        }
        counting = true;
        counted = result.size();
        std::string().swap(result);
      }
      counted += bytes.size();
      refused = counted > maxBytes;  // refused as soon as it passes the limit
      return !refused;
    });
    // A text that inflates far more than trees do but stays within the
    // limit is read again into room of its exact size.
    if (counting && !refused) {
      std::rewind(in);
      result.reserve(static_cast<size_t>(counted));
      inflateFile(in, [&](std::string_view bytes, uint64_t) {
        refused = result.size() + bytes.size() > maxBytes;
        if (!refused) result.append(bytes);
        return !refused;
      });
    }
  } catch (const std::bad_alloc&) {
    refused = true;
  }
  std::fclose(in);
  if (refused) return std::nullopt;
  return result;
}

uint64_t treeTextLimit() {
  // The document built from the text takes several times its size.
  constexpr uint64_t kFallback = uint64_t{1} << 30;
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGE_SIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGE_SIZE);
  if (pages > 0 && pageSize > 0) return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 8;
#endif
  return kFallback;
}

std::string treeFileStem(std::string_view path) {
  std::string normal(path);
  for (char& c : normal)
    if (c == '\\') c = '/';
  const size_t slash = normal.rfind('/');
  const size_t start = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = normal.rfind('.');
  const size_t end = dot != std::string::npos && (slash == std::string::npos || dot > slash)
                         ? dot
                         : normal.size();
  return normal.substr(start, end - start);
}

std::unique_ptr<xml::Document> loadTreeDocument(const std::string& path) {
  return loadTreeDocument(path, treeTextLimit());
}

std::unique_ptr<xml::Document> loadTreeDocument(const std::string& path, uint64_t maxBytes) {
  try {
    if (treeFileStem(path) != "st") return xml::Document::loadFile(path);
    std::optional<std::string> text = decompressFile(path, maxBytes);
    if (!text) return nullptr;
    if (text->empty()) return std::make_unique<xml::Document>();
    return xml::Document::loadOwnedText(std::move(*text));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace xml
