// Why a drawing was not saved, put down to the machine when that is where
// the trouble lies: an output folder that is full or cannot be written is
// reported as such ("no space left in out"), never as a fault of the
// source, so that the user knows where to look and a batch run tries the
// file again later.
#pragma once

#include <string>

#include "pipeline/problem.h"

namespace cli {

// After a file could not be saved at path: why, when its folder is full
// or cannot be written ("no space left in out"); empty otherwise.
std::string saveTrouble(const std::string& path);

// After a file a user named could not be written at path: why, in words
// that say what to do ("no such folder out (make it first)", "no space
// left in out", "cannot write in out: Permission denied"); empty when no
// reason can be found.
std::string whyNotWritten(const std::string& path);

// The same as a problem: a resource problem "cannot write PATH: why" when
// the folder is the cause, else a failure "cannot write PATH".
pipeline::Problem saveFailure(const std::string& path);

}  // namespace cli
