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
  bool overwrite = false, test = false, noDirNames = false, recurse = false, noDirItems = false, decrypt = false;
  uint16_t uso = 0;
  bool Sub(uint16_t bit) const { return (uso & bit) != 0; }
};

// Opens the zip (function 1); *items: its items, for the next-item function to walk.
int32_t ListItems(const DunzipOptions& o, Reporter& rep, std::vector<ZipEntry>* items);
// *count: the items the file specification matches (function 3).
int32_t CountMatching(const DunzipOptions& o, Reporter& rep, int32_t* count);
// Extracts the matching items into the destination or tests them (function 8); with
// USO_MVFROMHD joins the split zip whose last volume is the zip file. *count: the items
// extracted or tested whole (left as it was by a run that fails before its items).
int32_t ExtractOrTest(const DunzipOptions& o, Reporter& rep, int32_t* count);

}  // namespace ziplib
