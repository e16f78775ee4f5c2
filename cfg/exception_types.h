// Whether a catch clause takes an exception, from the classes' simple
// names: the exceptions of the Java platform that methods throw most are
// known with their superclasses; a class the table does not know may
// extend anything.
#pragma once

#include <string>
#include <vector>

namespace cfg {

enum class CatchMatch { Never, Maybe, Always };

// thrown: the exception's possible types (empty when unknown); caught: the
// types a catch clause names.
CatchMatch matchCatch(const std::vector<std::string>& thrown, const std::vector<std::string>& caught);

}  // namespace cfg
