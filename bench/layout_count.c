/* Counts the layouts a process asks Graphviz for: preloaded (LD_PRELOAD)
 * into `flowchart batch` by bench/layout_share, it appends one byte to the
 * file FLOWCHART_LAYOUT_COUNT names for each gvLayout call, then calls
 * Graphviz's own: "l" for a layout, "r" for a call that only ranks the
 * graph (its "phase" attribute set to 1).  One byte a call, appended, so
 * that every worker process counts into the same file however it ends. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

typedef int (*layout_function)(void*, void*, const char*);
extern char* agget(void* object, char* name); /* the process's own cgraph */

int gvLayout(void* context, void* graph, const char* engine) {
  static layout_function real = NULL;
  if (real == NULL) real = (layout_function)dlsym(RTLD_NEXT, "gvLayout");
  const char* path = getenv("FLOWCHART_LAYOUT_COUNT");
  if (path != NULL) {
    int fd = open(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
    if (fd >= 0) {
      const char* phase = agget(graph, "phase");
      const char* mark = phase != NULL && phase[0] == '1' && phase[1] == '\0' ? "r" : "l";
      if (write(fd, mark, 1) != 1) { /* a count short by one; the layout still runs */ }
      close(fd);
    }
  }
  return real(context, graph, engine);
}
