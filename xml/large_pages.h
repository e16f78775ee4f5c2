// Memory for large documents.  Building a DOM touches several times the
// text's size in fresh memory, and on virtual machines each first touch of
// a small page is expensive; where the system offers transparent huge pages
// the document's memory asks for them.  Elsewhere this is plain malloc.
#pragma once

#include <cstddef>

namespace xml {

// Makes pugixml allocate through the large-page arena.  Called once before
// any document exists (document.cpp does it at start-up).
void useLargePagesForDocuments();

// Asks for huge pages on the whole pages inside [data, data + size); a hint
// that never fails.
void adviseLargePages(void* data, size_t size);

// Memory from the documents' arena, for other large working structures;
// nullptr when none is left.  Freed with freeLargePages.
void* allocateLargePages(size_t size);
void freeLargePages(void* data);

}  // namespace xml
