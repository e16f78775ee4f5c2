// A method's parameter types as a person writes them, read from the
// signature text the parser records ("int f ( int x , List < T > xs )"),
// and the closest names to a misspelt one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pipeline/source_summary.h"

namespace pipeline {

// The types of the parameters, each without spaces except one after a
// comma ("Map<K, V>", "Object[]", "int..."); annotations, "final" and
// the names left out.  Empty for no parameters or text of another form.
std::vector<std::string> parameterTypes(std::string_view signature, std::string_view name);

// "add(E, Object[], int)": the name with its parameter types.
std::string withParameterTypes(std::string_view name, const std::vector<std::string>& types);

// A type list as typed by a person ("E,Object[] , int"), in the form
// parameterTypes gives, for comparing.
std::vector<std::string> typedParameterTypes(std::string_view text);

// The edit distance between two names, letters compared without case.
size_t nameDistance(std::string_view a, std::string_view b);

// Of the names given, those close enough to the name typed to be what was
// meant, closest first (ties in the order given); none when nothing is close.
std::vector<std::string> closestNames(std::string_view typed, const std::vector<std::string>& names);

// "Class.method(int, String)": the display name with the parameter types.
std::string methodLabel(const FileSummary& summary, const MethodSummary& method);

}  // namespace pipeline
