// SPDX-License-Identifier: MIT
// Temporary folders and small file helpers for tests of whole runs.
#pragma once

#include "support/files.h"
