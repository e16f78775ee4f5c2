#include <cstdio>
#include <cstdlib>

#include "cli/commands.h"
#include "lsp/server.h"

namespace cli {

int runLsp(const char* version) {
  lsp::Server server(stdin, stdout, stderr, version);
  const int status = server.run();
  std::fflush(stdout);
  std::fflush(stderr);
  // The server's reader may still wait on standard input: end here, as
  // the client asked, rather than wait for it in the exit handlers.
  std::_Exit(status);
}

}  // namespace cli
