// A file's base side read without the bodies head left as they were.
//
// Most methods of a changed file are unchanged, and an unchanged method
// needs no graph; parsing its body on the base side only to find it equal
// to head's is the larger part of reading that side.  Where a method's
// every line stands word for word in base, in head's order, its body's
// inner lines are blanked out of base's text before base is parsed: the
// lines keep their numbers, and the declaration its tokens up to the body.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/parsed_source.h"

namespace diff {

struct BlankedBody {
  int32_t openLine = 0;   // base's line of the body's "{"
  size_t headMethod = 0;  // the head method whose text it repeats, into head's summary
};

struct Skeleton {
  std::string text;  // base's text, the bodies blanked
  std::vector<BlankedBody> bodies;
};

// Base's text with the bodies of the methods head repeats blanked; none
// when no body can be (then base is parsed as it is).  Only a body whose
// "{" ends its line and whose "}" starts its line, holding no other
// method and in no other method, in ASCII, is blanked.
std::optional<Skeleton> skeletonOf(std::string_view baseText, pipeline::ParsedSource& head);

// The methods of the parsed skeleton whose bodies were blanked, each with
// the head method it repeats (base's method index to head's); none when a
// blanked body is not found where it should be, as a method with its
// declaration's tokens and an empty body: then base must be read whole.
std::optional<std::map<size_t, size_t>> blankedMethods(const Skeleton& skeleton, pipeline::ParsedSource& base,
                                                       pipeline::ParsedSource& head);

}  // namespace diff
