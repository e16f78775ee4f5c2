#include "engine/dispatcher.h"

int main(int argc, char** argv) {
  return engine::dispatch(argc, argv, engine::engineOperations());
}
