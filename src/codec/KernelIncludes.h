#pragma once
// What KernelBody.inc needs in every file that builds a set of kernels.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "codec/CodecKernels.h"
#include "codec/Cp932Codes.h"
