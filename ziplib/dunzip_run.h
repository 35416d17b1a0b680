#pragma once
// The extraction entry's functions over one command record: open and count (1), next item
// (2), count matching (3), extract or test (8). Each returns the entry's result code.
#include "ziplib/dzrecords.h"

namespace ziplib {

// The whole entry: checks the record, keeps one caller from re-entering, dispatches.
int32_t DunzipExecute(dz::UnzipCmdRecord* record);

}  // namespace ziplib
