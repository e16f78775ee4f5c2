# Composes the modern Java grammar from the Java 5 grammar (BASE, java.y)
# and what the modern grammar adds to it (ADDITIONS, modern.y):
# - the parser gets its own prefix and entry point (java_modern_yy,
#   parseModernTokens), so that both parsers link into one program;
# - the declarations of ADDITIONS (before its "%%" line) go before
#   "%start", after every token of BASE, so the old tokens keep their codes;
# - the rules of ADDITIONS go after the last rule of BASE, so every old
#   rule keeps its number and comes first in bison's conflict resolution.
file(READ ${BASE} base)
file(READ ${ADDITIONS} additions)

string(FIND "${additions}" "\n%%\n" split)
if(split LESS 0)
  message(FATAL_ERROR "${ADDITIONS}: no %% line")
endif()
string(SUBSTRING "${additions}" 0 ${split} declarations)
math(EXPR rulesStart "${split} + 4")
string(SUBSTRING "${additions}" ${rulesStart} -1 rules)

string(REPLACE "java_yy" "java_modern_yy" grammar "${base}")
string(REPLACE "JAVA_YY" "JAVA_MODERN_YY" grammar "${grammar}")
string(REPLACE "parseTokens" "parseModernTokens" grammar "${grammar}")

string(FIND "${grammar}" "\n%start Program\n" startAt)
if(startAt LESS 0)
  message(FATAL_ERROR "${BASE}: no %start line")
endif()
string(SUBSTRING "${grammar}" 0 ${startAt} head)
string(SUBSTRING "${grammar}" ${startAt} -1 rest)
set(grammar "${head}\n${declarations}\n${rest}")

# The rules end at the second "%%" line.
string(FIND "${grammar}" "\n%%\n" first)
math(EXPR afterFirst "${first} + 4")
string(SUBSTRING "${grammar}" ${afterFirst} -1 tail)
string(FIND "${tail}" "\n%%\n" second)
if(second LESS 0)
  message(FATAL_ERROR "${BASE}: no second %% line")
endif()
math(EXPR secondAt "${afterFirst} + ${second}")
string(SUBSTRING "${grammar}" 0 ${secondAt} beforeEpilogue)
string(SUBSTRING "${grammar}" ${secondAt} -1 epilogue)
set(grammar "${beforeEpilogue}\n\n/* ---- rules of ${ADDITIONS} ---- */\n${rules}${epilogue}")

file(WRITE ${OUTPUT}.new "${grammar}")
file(RENAME ${OUTPUT}.new ${OUTPUT})
