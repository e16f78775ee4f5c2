// The names of a batch run's outputs: one file name per method page that
// no other method of the file shares (not even where the file system
// folds case), short enough for any file system, and the share of the
// files a shard draws.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace site {

struct NamedMethod {
  std::string displayName;  // "Class.method", UTF-8
  std::string parameters;   // the parameter types, to tell overloads apart
  int32_t line = 0;
};

// A file name made from a UTF-8 name (fileSafeName), cut and given a hash
// of the whole name when it is too long for a file name with a suffix
// such as "-L1234-sequence.html" added.
std::string fittedFileName(std::string_view utf8Name);

// One stem per method, "<display name>-L<line>", the page being
// "<stem>.html" and its sequence diagram "<stem>-sequence.html".  Names
// that would meet ("a$b" and "a_b", overloads on one line, "Run" and
// "run") get a hash of what tells them apart; a name too long for a file
// name is cut and given a hash of the whole.
std::vector<std::string> methodPageStems(const std::vector<NamedMethod>& methods);

// A stable hash of a text (64-bit FNV-1a), the same on every machine and
// every run: it spreads files over shards, tells page names apart and
// checks that a record is whole.
uint64_t stableHash(std::string_view text);

// Whether a file (by its path below the source folder) is in the shard-th
// (1-based) of shards shares.
bool inShard(std::string_view relativePath, unsigned shard, unsigned shards);

}  // namespace site
