#include "render/host/result.h"

namespace host {

int32_t lastHostResult = kOk;

}  // namespace host
