// The pipeline reports problems in the command's one error type.
#pragma once

#include "errors/problem.h"

namespace pipeline {

using errors::Problem;
using errors::Result;
using errors::Status;

}  // namespace pipeline
