// Graphviz measures each label it lays out (edge and cluster captions)
// with Pango, shaping the text anew every time, though a batch's labels
// are mostly the same few words.  This text-layout plug-in answers a text
// in a font it has measured before from memory and asks Pango's own
// plug-in otherwise, so sizes, and layouts, are the ones Pango gives.
#pragma once

#include <graphviz/gvcext.h>

namespace graphviz {

// The plug-ins to start Graphviz with, for gvContextPlugins: the
// remembering text layout, chosen ahead of Pango's.  nullptr when Pango's
// plug-in cannot be found beside Graphviz: then start Graphviz as it is.
const lt_symlist_t* rememberedTextSizePlugins();

}  // namespace graphviz
