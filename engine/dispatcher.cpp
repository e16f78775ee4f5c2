#include "dispatcher.h"

#include <cstdlib>

namespace engine {
namespace {

int argcFor(int mode) {
  switch (mode) {
    case 7: return 9;
    case 8: return 13;
    case 11: return 3;
    case 12: return 3;
    case 17: return 7;
    case 18: return 7;
    default: return -1;
  }
}

int number(const char* text) { return std::atoi(text); }

// What a mode answers when its operation fails in a way it did not report.
int failureCodeFor(int mode) {
  switch (mode) {
    case 7: return 1;
    case 17:
    case 18: return -1;
    default: return 0;
  }
}

int runMode(int mode, int argc, char** argv, const Operations& ops) {
  switch (mode) {
    case 16:
      return 1;
    case 15:
      return ops.platform ? installXmlComponent(argc, argv, *ops.platform) : 0;
    default:
      break;
  }
  const int expected = argcFor(mode);
  if (expected < 0 || argc != expected) return 0;
  switch (mode) {
    case 7:
      if (!ops.parseJava) return 0;
      return ops.parseJava(argv[2], argv[3], argv[4], argv[5], argv[6], number(argv[7]), number(argv[8]));
    case 8: {
      if (!ops.buildFlowchart || !ops.loadTree) return 0;
      const std::string workFolder = argv[3];
      std::unique_ptr<xml::Document> tree = ops.loadTree(workFolder + "/st.tmp");
      std::unique_ptr<xml::Document> comments = ops.loadTree(argv[11]);
      if (!tree) return 0;
      return ops.buildFlowchart(workFolder, *tree, argv[5], number(argv[6]), argv[7],
                                number(argv[8]), argv[10], comments.get());
    }
    case 11:
      return ops.pack ? ops.pack(argv[2]) : 0;
    case 12:
      return ops.unpack ? ops.unpack(argv[2]) : 0;
    case 17:
      if (!ops.drawFlowchart) return 0;
      return ops.drawFlowchart(argv[2], argv[3], argv[5], argv[4], argv[6]);
    case 18:
      if (!ops.drawSequence) return 0;
      return ops.drawSequence(argv[2], argv[3], argv[4], argv[5]);
    default:
      return 0;
  }
}

}  // namespace

int dispatch(int argc, char** argv, const Operations& operations) {
  if (argc < 2) return 0;
  const int mode = number(argv[1]);
  try {
    return runMode(mode, argc, argv, operations);
  } catch (...) {
    return failureCodeFor(mode);
  }
}

}  // namespace engine
