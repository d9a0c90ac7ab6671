// SPDX-License-Identifier: MIT
// The readers of single files, in the order they are asked to recognise a file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "reader.h"

namespace trevanto::import {

// Every reader of a single file, in the order they are asked to recognise it.
const std::vector<std::unique_ptr<Reader>>& fileReaders();

// The readers of files that hold one link each (those with linkFileExtensions), in the same
// order: what the walk over a folder of link files asks.
const std::vector<const Reader*>& linkFileReaders();

// Why a file no reader recognises was refused: the kinds it is not, by the readers' names.
std::string noKnownKindReason();

}  // namespace trevanto::import
