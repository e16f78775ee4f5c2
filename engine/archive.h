// The archive modes: pack a folder into a zip archive beside it, unpack an
// archive into a folder beside it.  Both always answer 1; problems show only
// in the files.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace engine {

// Packs folder F into F + ".zip": every file below F (sub-folders included,
// no entries for folders), stored under its path relative to F with "/",
// deflated, with its modification time, in name order.  A file that
// cannot be read to its end is left out rather than stored short.
int packFolder(const std::string& folder);

// Unpacks archive A into the folder beside it named by A's file name up to
// its last dot: missing folders are made, existing files replaced,
// modification times restored.  An entry replaces nothing unless it reads
// back whole with its stated size and CRC; the extraction stops before an
// entry that would fill the disk.
int unpackArchive(const std::string& archive);

// The folder an archive unpacks into: the archive's path with the last
// extension of its file name removed, then "/" (a dot in a folder name
// does not count).  nullopt when the file name has no stem (".zip", or
// "." and "..", which would name the folder holding the archive).
std::optional<std::string> unpackTargetFolder(std::string_view archive);

// Cleans a stored name so that it stays inside the target folder: drive
// letters, leading separators and everything up to a "/../"-like sequence
// are dropped; "." segments go, backslashes become "/".  nullopt when the
// name still climbs out (a ".." segment) or cleans to nothing.
std::optional<std::string> cleanStoredName(std::string_view stored);

}  // namespace engine
