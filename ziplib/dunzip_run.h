#pragma once
// The extraction side of the library: what `dunzip` does with one command, given as its
// options and a reporter (the DLL edge, dzip_edge.h, reads both from the command record
// and keeps the cursor of the next-item function). Each returns the entry's result code.
#include <cstdint>
#include <string>
#include <vector>

#include "ziplib/reporter.h"
#include "ziplib/zipread.h"

namespace ziplib {

// What one extraction command asks for, texts as UTF-8.
struct DunzipOptions {
  std::string zipFile, fileSpec, destination, password;
  bool overwrite = false, test = false, noDirNames = false, recurse = false, noDirItems = false;
  bool decrypt = false, overwriteReadOnly = false, leavePartial = false, ansiNames = false;
  bool joinVolumes = false;   // the zip file is the last volume of a split zip to join
};

// Opens the zip (function 1); *items: its items, for the next-item function to walk.
int32_t ListItems(const DunzipOptions& o, Reporter& rep, std::vector<ZipEntry>* items);
// *count: the items the file specification matches (function 3).
int32_t CountMatching(const DunzipOptions& o, Reporter& rep, int32_t* count);
// Extracts the matching items into the destination, or tests them, or joins the volumes
// (function 8). *count: the items extracted or tested whole (left as it was by a run that
// fails before its items).
int32_t ExtractOrTest(const DunzipOptions& o, Reporter& rep, int32_t* count);

}  // namespace ziplib
