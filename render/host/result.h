// Result codes of the drawing host.  Every host call stores its code in
// lastHostResult; 0 means the call was carried out.
#pragma once

#include <cstdint>

namespace host {

enum HostResult : int32_t {
  kOk = 0,
  // The call was made through an object that was never obtained.
  kNotObtained = static_cast<int32_t>(0x80004003),
  // A name (document, master, shape, cell, page) that does not exist.
  kNotFound = static_cast<int32_t>(0x80070490),
  // An argument the host does not accept (section number, formula, index).
  kInvalidArgument = static_cast<int32_t>(0x80070057),
  // A file (template, stencil, drawing) that cannot be read or written.
  kFileFailed = static_cast<int32_t>(0x80030003),
};

// The result code of the most recent host call.
extern int32_t lastHostResult;

// Stores the code in lastHostResult and returns it.
inline int32_t record(int32_t code) {
  lastHostResult = code;
  return code;
}

}  // namespace host
