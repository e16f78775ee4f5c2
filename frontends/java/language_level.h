// Language levels of the Java parse: below kFirstModernLevel the Java 5
// grammar exactly as it always was; from it on the Java language of that
// release, up to the newest release this front end knows.
#pragma once

#include <string_view>

namespace java {

inline constexpr int kFirstModernLevel = 6;
inline constexpr int kNewestLanguageLevel = 25;

// The level a requested level parses at: anything below the first modern
// level is the Java 5 grammar (0), anything above the newest is the newest.
constexpr int effectiveLanguageLevel(int requested) {
  if (requested < kFirstModernLevel) return 0;
  return requested > kNewestLanguageLevel ? kNewestLanguageLevel : requested;
}

// Words that are keywords only in some places (record, yield, sealed,
// permits, when, the words of module declarations) and "non" of
// non-sealed: at modern levels the token filter decides what they are.
bool isContextualWord(std::string_view word);

}  // namespace java
