// Why a file was not written, from the system's error number, in words
// that say where to look and what to do ("no such folder out (make it
// first)", "no space left in out", "cannot write in out: Permission
// denied").  A folder that is full or cannot be written is the machine's
// trouble, never the source's, so that a batch run tries the file again
// later.
#pragma once

#include <string>

#include "errors/problem.h"

namespace site {

// Why path was not written, the system having refused with error (errno);
// empty when error is 0.
std::string whyNotWritten(const std::string& path, int error);

// "cannot write PATH: why": of kind Resource when the folder is full or
// cannot be written, else Failed.
errors::Problem saveFailure(const std::string& path, const errors::Problem& refused);

}  // namespace site
