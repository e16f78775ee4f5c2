#include "site/site_merge.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "site/file_record.h"
#include "site/index_page.h"
#include "site/site_layout.h"
#include "site/site_pages.h"
#include "text/text_output.h"
#include "files/file_text.h"

namespace site {

using text::counted;

namespace {

namespace fs = std::filesystem;

// Why a write failed, in the user's words.
std::string reason(const errors::Problem& problem) {
  switch (problem.systemError) {
    case ENOSPC: return "no space left on the device";
    case EDQUOT: return "the disk quota is used up";
    case EROFS: return "the file system is read-only";
    case EACCES:
    case EPERM: return "permission denied";
    default: return std::generic_category().message(problem.systemError);
  }
}

bool isRealFolder(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(path, ec));
}

bool isRealFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

// Whether every folder from root down to root/below is a folder of its
// own, no symbolic link: what a merge reads never leaves its input.
bool realFoldersDown(const fs::path& root, const fs::path& below) {
  fs::path at = root;
  for (const fs::path& part : below) {
    at /= part;
    if (!isRealFolder(at)) return false;
  }
  return true;
}

std::optional<std::string> readRealFile(const fs::path& path) {
  if (!isRealFile(path)) return std::nullopt;
  return files::readFileText(path.string());
}

std::string sharesText(const std::vector<uint32_t>& covered, uint32_t shards) {
  std::string out;
  for (uint32_t k : covered) out += (out.empty() ? "" : ", ") + std::to_string(k) + "/" + std::to_string(shards);
  return out;
}

// The record of one source file chosen for the site.
struct Chosen {
  size_t input = 0;
  FileRecord record;
  fs::file_time_type time;
  bool whole = false;  // read whole; else record says why not
  std::string why;     // for standard error, when not whole
};

uint64_t nameHash(std::string_view text) {
  uint64_t hash = 1469598103934665603ull;
  for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  return hash;
}

// Folders beside the site that merges which were killed outright left:
// named after the site, with the number of a process no longer running.
void removeAbandonedFolders(files::FileSystem& disk, const fs::path& parent, const std::string& prefix) {
  std::error_code ec;
  for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const std::string rest = name.substr(prefix.size());
    const std::string digits = rest.substr(0, rest.find('-'));
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(digits));
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;
    disk.removeAll(it->path());
  }
}

errors::Problem usage(std::string message) { return errors::Problem(errors::Problem::Kind::Usage, std::move(message)); }

// What each output holds: the files its index shows.
errors::Result<std::vector<SiteInfo>> readSiteInfos(const std::vector<std::string>& outputDirs) {
  std::error_code ec;
  std::vector<SiteInfo> infos;
  for (const std::string& dir : outputDirs) {
    const fs::path root(dir);
    if (!fs::exists(root, ec)) return usage(dir + ": no such folder");
    if (!fs::is_directory(root, ec)) return usage(dir + ": is not a folder; give the output folders of flowchart batch runs");
    const fs::path infoPath = siteInfoPath(root);
    if (!isRealFolder(root / kSiteFolder) || !isRealFile(infoPath))
      return usage(dir + ": holds no output of flowchart batch (no " + std::string(kSiteFolder) + "/site.json)");
    errors::Result<SiteInfo> info = parseSiteInfo(readRealFile(infoPath).value_or(""));
    if (!info)
      return usage(infoPath.string() + ": " + info.problem().message + "; run flowchart batch into " + dir + " again");
    infos.push_back(std::move(*info));
  }
  return infos;
}

// Shards of one split, all of them: a set that does not cover the tree
// would make a site that silently lacks files.
errors::Status sharesCoverTheTree(const std::vector<SiteInfo>& infos, const std::vector<std::string>& outputDirs) {
  uint32_t split = 0;
  size_t splitFrom = 0;
  bool whole = false;
  std::set<uint32_t> covered;
  for (size_t i = 0; i < infos.size(); ++i) {
    if (infos[i].shards == 1) {
      whole = true;
      continue;
    }
    if (split != 0 && infos[i].shards != split)
      return usage("flowchart index: " + outputDirs[splitFrom] + " holds share " +
                   sharesText(infos[splitFrom].covered, split) + " and " + outputDirs[i] + " share " +
                   sharesText(infos[i].covered, infos[i].shards) +
                   ": shards of different splits do not make one tree; merge the shards of one --shard K/N");
    split = infos[i].shards;
    splitFrom = i;
    covered.insert(infos[i].covered.begin(), infos[i].covered.end());
  }
  if (!whole && split > 1 && covered.size() < split) {
    std::vector<uint32_t> missing;
    for (uint32_t k = 1; k <= split; ++k)
      if (!covered.count(k)) missing.push_back(k);
    return usage("flowchart index: the outputs hold shares " +
                 sharesText(std::vector<uint32_t>(covered.begin(), covered.end()), split) + " of the tree, not " +
                 sharesText(missing, split) + ": merge every shard (or the site merged before with them)");
  }
  return {};
}

// Where the merged site goes, and the folder it is built beside.
struct SitePlace {
  std::filesystem::path target, parent, name;
};

// The site's place: beside it the new site is built.  A link to the site
// is followed: the site goes where it points.
errors::Result<SitePlace> sitePlace(const std::string& siteDir, const std::vector<std::string>& outputDirs) {
  std::error_code ec;
  fs::path site = fs::weakly_canonical(fs::absolute(siteDir), ec);
  if (ec) site = fs::absolute(siteDir);
  site = site.lexically_normal();
  const fs::path siteName = site.has_filename() ? site.filename() : site.parent_path().filename();
  const fs::path parent = site.has_filename() ? site.parent_path() : site.parent_path().parent_path();
  const fs::path target = parent / siteName;
  if (fs::exists(target, ec) && !fs::is_directory(target, ec))
    return usage(siteDir + ": is not a folder; give a new folder, or a site merged before");
  if (fs::is_directory(target, ec) && !fs::is_empty(target, ec) && !isRealFile(siteInfoPath(target)))
    return usage(siteDir +
                 ": holds files that are not a flowchart site, which merging would replace; give a new or empty "
                 "folder");
  for (const std::string& dir : outputDirs) {
    const fs::path input = fs::weakly_canonical(fs::absolute(dir), ec);
    const fs::path below = input.lexically_relative(target);
    if (!below.empty() && *below.begin() != ".." && below != ".")
      return usage(siteDir + ": holds the output folder " + dir +
                   ", which merging would replace; merge into another folder");
  }
  return SitePlace{target, parent, siteName};
}

// Each file from the output that drew it last; a whole record wins over
// one that is not.  By path below the source folder, as batch sorts them.
std::map<std::string, Chosen> chooseRecords(const std::vector<SiteInfo>& infos,
                                            const std::vector<std::string>& outputDirs) {
  std::error_code ec;
  std::map<std::string, Chosen> chosen;
  for (size_t i = 0; i < infos.size(); ++i) {
    const fs::path root(outputDirs[i]);
    for (const std::string& relative : infos[i].files) {
      const fs::path path = recordPath(root, relative);
      Chosen candidate;
      candidate.input = i;
      std::string why = "missing";
      if (realFoldersDown(root, fs::path(kSiteFolder) / "records" / relative)) {
        if (std::optional<std::string> text = readRealFile(path)) {
          errors::Result<FileRecord> record = parseRecord(*text);
          if (record) {
            candidate.record = std::move(*record);
            candidate.whole = true;
          } else {
            why = record.problem().message;
          }
        }
      }
      candidate.time = fs::last_write_time(path, ec);
      if (!candidate.whole) {
        candidate.record.status = FileRecord::Status::Failed;
        candidate.record.problem = "not merged: its record in " + outputDirs[i] + " is " + why +
                                   "; run flowchart batch again";
        candidate.why = path.string() + ": " + why + "; run flowchart batch on its source again";
      }
      auto found = chosen.find(relative);
      if (found != chosen.end() &&
          std::pair(found->second.whole, found->second.time) >= std::pair(candidate.whole, candidate.time))
        continue;
      chosen[relative] = std::move(candidate);
    }
  }
  return chosen;
}

// The merge's staging folder as it is filled: what was said, and why the
// merge failed (a file not whole keeps it going; a write stops it).
struct Staging {
  files::FileSystem& disk;
  std::filesystem::path folder;
  MergeResult& result;
  std::vector<IndexedFile> indexed;
  size_t methods = 0;
};

// One chosen file's page, drawings and record into the staging folder.
errors::Status stageFile(Staging& staging, const std::vector<std::string>& outputDirs, const std::string& relative,
                         Chosen& file) {
  files::FileSystem& disk = staging.disk;
  MergeResult& result = staging.result;
  const std::string& dir = outputDirs[file.input];
  const fs::path from = fileOutputFolder(fs::path(dir), relative);
  const fs::path to = fileOutputFolder(staging.folder, relative);
  bool hasPage = false;
  if (!file.whole) {
    result.messages.push_back(file.why);
    result.failure = errors::Problem::Kind::Failed;
  } else {
    const bool folder = realFoldersDown(fs::path(dir), fs::path(kFilesFolder) / relative);
    if (errors::Status made = disk.makeFolders(to); !made) return made;
    if (folder && isRealFile(from / kFilePageName)) {
      if (errors::Status copied = disk.copyFile(from / kFilePageName, to / kFilePageName); !copied) return copied;
      hasPage = true;
    }
    bool missing = false;
    for (MethodRecord& method : file.record.methods) {
      for (std::string* drawing : {&method.drawing, &method.sequence}) {
        if (drawing->empty()) continue;
        if (folder && isRealFile(from / *drawing)) {
          if (errors::Status copied = disk.copyFile(from / *drawing, to / *drawing); !copied) return copied;
          continue;
        }
        result.messages.push_back((from / *drawing).string() + ": missing, though its record names it; run "
                                                               "flowchart batch on " + relative + " again");
        if (drawing == &method.drawing) method.problem = "its drawing is missing from " + dir;
        drawing->clear();
        missing = true;
      }
    }
    // A batch run into the merged site draws the file again.
    if (missing) {
      file.record.sourceTime = 0;
      result.failure = errors::Problem::Kind::Failed;
    }
  }
  const fs::path record = recordPath(staging.folder, relative);
  if (errors::Status made = disk.makeFolders(record.parent_path()); !made) return made;
  if (errors::Status written = disk.writeFile(record, recordText(file.record)); !written) return written;
  staging.indexed.push_back(IndexedFile{relative, std::string(kFilesFolder) + "/" + relative + "/", &file.record, hasPage});
  staging.methods += file.record.methods.size();
  return {};
}

// The merged site's shared files, data and index; false, with nothing
// said, when stopped.
errors::Result<bool> stageIndex(Staging& staging, const std::vector<SiteInfo>& infos,
                                const std::map<std::string, Chosen>& chosen, const std::atomic<bool>& stop) {
  files::FileSystem& disk = staging.disk;
  const fs::path& folder = staging.folder;
  SiteInfo info;
  for (const SiteInfo& input : infos)
    if (info.title.empty()) info.title = input.title;
  if (info.title.empty()) info.title = "Flowcharts";
  // The shares merged cover the tree (or the merge was refused): the site
  // says so as one run over the whole tree does.
  for (const auto& [relative, file] : chosen) info.files.push_back(relative);
  if (errors::Status made = disk.makeFolders(folder / kSiteFolder / "records"); !made) return std::move(made).problem();
  for (const auto& [name, text] : siteAssets()) {
    if (stop.load()) return false;
    if (errors::Status written = disk.writeFile(folder / kSiteFolder / name, text); !written)
      return std::move(written).problem();
  }
  if (errors::Status written = disk.writeFile(siteInfoPath(folder), siteInfoText(info)); !written)
    return std::move(written).problem();
  const std::vector<std::string> parts = methodData(staging.indexed);
  for (size_t p = 0; p < parts.size(); ++p)
    if (errors::Status written = disk.writeFile(folder / kSiteFolder / methodDataName(p), parts[p]); !written)
      return std::move(written).problem();
  if (errors::Status written = disk.writeFile(folder / "index.html", indexPage(info.title, staging.indexed)); !written)
    return std::move(written).problem();
  return true;
}

}  // namespace

MergeResult mergeSites(const std::vector<std::string>& outputDirs, const std::string& siteDir, files::FileSystem& disk,
                       const std::atomic<bool>& stop) {
  MergeResult result;
  const auto refused = [&](const errors::Problem& problem) {
    result.messages.push_back(problem.message);
    result.failure = errors::Problem::Kind::Usage;
    return result;
  };
  std::error_code ec;
  errors::Result<std::vector<SiteInfo>> read = readSiteInfos(outputDirs);
  if (!read) return refused(read.problem());
  const std::vector<SiteInfo>& infos = *read;
  if (errors::Status shares = sharesCoverTheTree(infos, outputDirs); !shares) return refused(shares.problem());
  errors::Result<SitePlace> place = sitePlace(siteDir, outputDirs);
  if (!place) return refused(place.problem());
  const fs::path& target = place->target;
  const fs::path& parent = place->parent;
  std::map<std::string, Chosen> chosen = chooseRecords(infos, outputDirs);

  const std::string prefix = ".flowchart-index-" + std::to_string(nameHash(place->name.string()) % 100000000) + "-";
  removeAbandonedFolders(disk, parent, prefix);
  Staging staging{disk, parent / (prefix + std::to_string(::getpid())), result, {}, 0};
  disk.removeAll(staging.folder);
  const auto failed = [&](const errors::Problem& error) {
    disk.removeAll(staging.folder);
    result.messages.push_back(siteDir + ": cannot build the merged site beside it in " + parent.string() + ": " +
                              reason(error) + "; the site is left as it was");
    result.failure = errors::Problem::Kind::Failed;
    return result;
  };
  const auto stopped = [&]() {
    disk.removeAll(staging.folder);
    result.interrupted = true;
    result.messages.push_back("flowchart: interrupted; the site is left as it was");
    return result;
  };
  if (errors::Status made = disk.makeFolders(staging.folder); !made) return failed(made.problem());
  for (auto& [relative, file] : chosen) {
    if (stop.load()) return stopped();
    if (errors::Status staged = stageFile(staging, outputDirs, relative, file); !staged) return failed(staged.problem());
  }
  const errors::Result<bool> indexed = stageIndex(staging, infos, chosen, stop);
  if (!indexed) return failed(indexed.problem());
  if (!*indexed) return stopped();

  // The new site is let read and written as the old one was.
  const fs::file_status before = fs::status(target, ec);
  if (fs::is_directory(before)) fs::permissions(staging.folder, before.permissions(), ec);
  // Past this point a stop waits for the switch: it is one step.
  if (stop.load()) return stopped();
  fs::path old;
  if (errors::Status switched = disk.switchFolders(staging.folder, target, old); !switched) {
    disk.removeAll(staging.folder);
    result.messages.push_back(siteDir + ": cannot put the merged site in its place: " + reason(switched.problem()) +
                              "; the site is left as it was");
    result.failure = errors::Problem::Kind::Failed;
    return result;
  }
  if (!old.empty()) disk.removeAll(old);
  result.summary = (fs::path(siteDir) / "index.html").string() + ": " + counted(staging.indexed.size(), "file") + ", " +
                   counted(staging.methods, "method") + " from " + counted(outputDirs.size(), "output folder");
  return result;
}

}  // namespace site
