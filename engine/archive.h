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
// deflated, with its modification time, in name order.
int packFolder(const std::string& folder);

// Unpacks archive A into A up to its last dot, plus "/": missing folders
// are made, existing files replaced, modification times restored.
int unpackArchive(const std::string& archive);

// The folder an archive unpacks into: the text before the last dot, then "/".
std::string unpackTargetFolder(std::string_view archive);

// Cleans a stored name so that it stays inside the target folder: drive
// letters, leading separators and everything up to a "/../"-like sequence
// are dropped; "." segments go, backslashes become "/".  nullopt when the
// name still climbs out (a ".." segment) or cleans to nothing.
std::optional<std::string> cleanStoredName(std::string_view stored);

}  // namespace engine
