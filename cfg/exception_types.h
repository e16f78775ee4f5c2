// Whether a catch clause takes an exception, from the classes' simple
// names: the exceptions of the Java platform that methods throw most are
// known with their superclasses, and the classes the program declares
// itself are followed through their superclasses to one of those; a class
// neither knows may extend anything.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace cfg {

enum class CatchMatch { Never, Maybe, Always };

// The superclasses of a class the program declares, nearest first, as
// simple names, up to and including the first one the program does not
// declare; nullopt when the program declares no class of that name.
using DeclaredSuperclasses = std::function<std::optional<std::vector<std::string>>(const std::string& simpleName)>;

// thrown: the exception's possible types (empty when unknown); caught: the
// types a catch clause names; program: the program's own classes (none
// when empty).
CatchMatch matchCatch(const std::vector<std::string>& thrown, const std::vector<std::string>& caught,
                      const DeclaredSuperclasses& program = {});

}  // namespace cfg
