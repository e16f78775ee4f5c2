# Writes a C++ source defining a string_view constant with a file's bytes:
#   cmake -DINPUT=<file> -DOUTPUT=<source> -DNAME=<constant> [-DNAMESPACE=<namespace>] -P embed_file.cmake
# The namespace is pipeline unless given.
if(NOT NAMESPACE)
  set(NAMESPACE pipeline)
endif()
file(READ "${INPUT}" bytes HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${bytes}")
file(WRITE "${OUTPUT}.new"
  "// Generated from ${INPUT}; do not edit.\n"
  "#include <string_view>\n"
  "namespace ${NAMESPACE} {\n"
  "extern const std::string_view ${NAME};\n"
  "const std::string_view ${NAME}(\"${escaped}\", sizeof(\"${escaped}\") - 1);\n"
  "}  // namespace ${NAMESPACE}\n")
file(RENAME "${OUTPUT}.new" "${OUTPUT}")
