#include "cfg/graph.h"

namespace cfg {

std::string_view kindName(NodeKind kind) {
  switch (kind) {
    case NodeKind::Start: return "start";
    case NodeKind::End: return "end";
    case NodeKind::Exit: return "exit";
    case NodeKind::Statement: return "statement";
    case NodeKind::Decision: return "decision";
    case NodeKind::Switch: return "switch";
    case NodeKind::Case: return "case";
    case NodeKind::Return: return "return";
    case NodeKind::Throw: return "throw";
    case NodeKind::Break: return "break";
    case NodeKind::Continue: return "continue";
    case NodeKind::Yield: return "yield";
    case NodeKind::Try: return "try";
    case NodeKind::Catch: return "catch";
    case NodeKind::Finally: return "finally";
    case NodeKind::Resources: return "resources";
    case NodeKind::Synchronized: return "synchronized";
    case NodeKind::Join: return "join";
  }
  return "statement";
}

std::string_view kindName(EdgeKind kind) {
  switch (kind) {
    case EdgeKind::Flow: return "flow";
    case EdgeKind::True: return "true";
    case EdgeKind::False: return "false";
    case EdgeKind::Case: return "case";
    case EdgeKind::Exception: return "exception";
  }
  return "flow";
}

std::string_view kindName(RegionKind kind) {
  switch (kind) {
    case RegionKind::Body: return "body";
    case RegionKind::LoopBody: return "loop body";
    case RegionKind::Then: return "then";
    case RegionKind::Else: return "else";
    case RegionKind::SwitchBody: return "switch body";
    case RegionKind::CaseGroup: return "case";
    case RegionKind::TryBlock: return "try";
    case RegionKind::CatchBlock: return "catch";
    case RegionKind::FinallyBlock: return "finally";
    case RegionKind::Synchronized: return "synchronized";
    case RegionKind::Labelled: return "labelled block";
  }
  return "body";
}

bool isJump(NodeKind kind) {
  return kind == NodeKind::Return || kind == NodeKind::Throw || kind == NodeKind::Break ||
         kind == NodeKind::Continue || kind == NodeKind::Yield;
}

std::string nodeId(size_t graph, size_t node) {
  if (graph == 0) return "n" + std::to_string(node);
  return "l" + std::to_string(graph) + ".n" + std::to_string(node);
}

}  // namespace cfg
