#pragma once
// The DLL edge of compression: the command record read once and turned into the writer's
// own options and callbacks. Only the entry and the split command read the record.
#include "ziplib/dzrecords.h"
#include "ziplib/zipwriter.h"

namespace ziplib {

DzipOptions ReadOptions(const dz::ZipCmdRecord& r);
DzipCallbacks ReadCallbacks(const dz::ZipCmdRecord& r);
// Runs the record's compression command; returns the result code.
int RunZip(const dz::ZipCmdRecord& r);

}  // namespace ziplib
