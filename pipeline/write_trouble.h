// Telling a failure of the machine from a failure of the input: after a
// write failed somewhere below a folder, whether that folder's file system
// is out of room or cannot be written, said so that the user knows which
// folder to look at ("no space left in TMPDIR (/tmp/x)").
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pipeline {

// nullopt when a small file can be written in the folder and its file
// system has room; else why not, naming the folder as `named` (the name
// the user knows it by, such as "TMPDIR (/tmp/x)" or "OUT_DIR out").
std::optional<std::string> writeTrouble(const std::filesystem::path& folder, const std::string& named);

}  // namespace pipeline
