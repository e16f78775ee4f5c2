// flowchart index: the outputs of several batch runs (the shards of one
// tree, drawn on several machines) merged into one site with one index.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "cli/commands.h"
#include "cli/file_record.h"
#include "cli/index_page.h"
#include "cli/site_layout.h"
#include "cli/text_output.h"
#include "xml/atomic_file.h"
#include "xml/file_text.h"

namespace cli {
namespace {

namespace fs = std::filesystem;

std::string readWhole(const fs::path& path) { return xml::readFileText(path.string()).value_or(std::string()); }

// One source file's outputs, in the run that drew it last.
struct Drawn {
  fs::path root;  // the batch output it comes from
  FileRecord record;
  fs::file_time_type time;
};

// Copies a folder's files into another, each through a temporary name,
// so that a copy cut short leaves no half-written file.
bool copyFolder(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_directories(to, ec);
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path target = to / it->path().lexically_relative(from);
    std::error_code kind;
    if (it->is_directory(kind)) {
      fs::create_directories(target, ec);
      continue;
    }
    const fs::path temporary = target.string() + ".part";
    if (!fs::copy_file(it->path(), temporary, fs::copy_options::overwrite_existing, ec)) return false;
    fs::rename(temporary, target, ec);
    if (ec) return false;
  }
  return !ec;
}

std::string siteTitle(const fs::path& root) {
  const std::string info = readWhole(siteInfoPath(root));
  for (std::string_view line : splitText(info, '\n'))
    if (line.rfind("title\t", 0) == 0) return std::string(line.substr(6));
  return {};
}

}  // namespace

int runIndex(const IndexRequest& request) {
  std::error_code ec;
  const fs::path site(request.site);
  std::map<std::string, Drawn> drawn;  // by path below the source folder, as batch sorts them
  std::string title;
  for (const std::string& dir : request.outputDirs) {
    const fs::path root(dir);
    const fs::path records = root / kSiteFolder / "records";
    if (!fs::is_directory(root, ec)) {
      std::fprintf(stderr, "%s: %s\n", dir.c_str(),
                   fs::exists(root, ec) ? "is not a folder; give the output folders of flowchart batch runs"
                                        : "no such folder");
      return kExitUsage;
    }
    if (!fs::is_directory(records, ec)) {
      std::fprintf(stderr, "%s: holds no output of flowchart batch (no %s/records folder)\n", dir.c_str(),
                   kSiteFolder);
      return kExitUsage;
    }
    if (title.empty()) title = siteTitle(root);
    for (fs::recursive_directory_iterator it(records, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code kind;
      if (!it->is_regular_file(kind) || it->path().filename() != kRecordName) continue;
      const std::string relative = it->path().parent_path().lexically_relative(records).generic_string();
      std::optional<FileRecord> record = parseRecord(readWhole(it->path()));
      if (!record) {
        std::fprintf(stderr, "%s: not a record of flowchart batch; left out\n", it->path().string().c_str());
        continue;
      }
      const fs::file_time_type time = fs::last_write_time(it->path(), kind);
      auto found = drawn.find(relative);
      if (found != drawn.end() && found->second.time >= time) continue;
      drawn[relative] = Drawn{root, std::move(*record), time};
    }
  }

  fs::create_directories(site, ec);
  if (!fs::is_directory(site, ec) || ::access(site.c_str(), W_OK | X_OK) != 0) {
    std::fprintf(stderr, "%s: cannot make or write the site's folder\n", request.site.c_str());
    return kExitUsage;
  }
  std::vector<IndexedFile> indexed;
  size_t methods = 0;
  for (const auto& [relative, file] : drawn) {
    if (!fs::equivalent(file.root, site, ec)) {
      const fs::path target = fileOutputFolder(site, relative);
      // Drawings an earlier merge left there go first.
      fs::remove_all(target, ec);
      const fs::path from = fileOutputFolder(file.root, relative);
      const bool copied = !fs::exists(from, ec) || copyFolder(from, target);
      fs::create_directories(recordPath(site, relative).parent_path(), ec);
      if (!copied || !xml::writeFileAtomically(recordPath(site, relative).string(), recordText(file.record))) {
        std::fprintf(stderr, "%s: cannot copy the drawings of %s\n", request.site.c_str(), relative.c_str());
        return kExitSomeFailed;
      }
    }
    indexed.push_back(IndexedFile{relative, std::string(kFilesFolder) + "/" + relative + "/", &file.record,
                                  fs::exists(fileOutputFolder(site, relative) / kFilePageName, ec)});
    methods += file.record.methods.size();
  }
  if (title.empty()) title = "Flowcharts";
  if (!writeSite(site, title, indexed)) return kExitSomeFailed;
  std::printf("%s: %s, %s from %s\n", (site / "index.html").string().c_str(), counted(indexed.size(), "file").c_str(),
              counted(methods, "method").c_str(), counted(request.outputDirs.size(), "output folder").c_str());
  return kExitDone;
}

}  // namespace cli
