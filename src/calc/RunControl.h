// Progress and cancel of a long computation: the core's one structure.
#pragma once

#include "common/RunControl.h"

namespace valdrin::calc {

using TRunControl = common::TRunControl;

} // namespace valdrin::calc
