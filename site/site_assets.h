// The style sheet and script of the index and the files' pages, built
// into the program from site.css and site.js beside this header.
//
// site.css: long names wrap rather than push the measures out of sight.
// site.js: sorts a table when one of its headers is clicked or pressed
// (numbers as numbers); makes the index's methods' and files' tables from
// the site's method data (methods.js and its later parts), 500 and 200
// rows at a time with buttons for more, and sorts them over every method
// and file, the methods' filtered: words match where a name or a
// word of it starts ("put" finds put and HashMap.putAll, not compute);
// class:, method: and file: look in one column, where a name starts (after
// '.', '/', '$'...: "method:transfer" is not helpTransfer); and cc>10,
// cog>=5, nloc<20, hv and line compare a measure.  "#q=..." in the address
// fills the filter.
#pragma once

#include <string_view>

namespace site {

extern const std::string_view kSiteStyle;
extern const std::string_view kSiteScript;

}  // namespace site
