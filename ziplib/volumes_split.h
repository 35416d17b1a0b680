#pragma once
// Splitting a zip into a standard split archive: name.z01, name.z02, ..., name.zip last,
// the split signature at the start of the first volume, every volume at most the size the
// caller gives. The entries are copied as they are; only the central directory and the
// end records are rewritten with disk numbers and offsets inside their volumes. A local
// header, a data descriptor, a central header and the end records never cross a volume
// boundary (a volume ends short instead). Volumes are written under temporary names and
// take their real names only after the whole set was written.
#include <cstdint>
#include <string>

#include "ziplib/zipwriter.h"

namespace ziplib {

// The smallest volume accepted.
constexpr uint64_t kMinVolumeSize = 65536;

// Runs a compression command that asks for volumes (MV_USEMULTI): function ZIP_ADD with
// MV_TOHD splits the zip named in the item list into volumes at the zip file's name, each
// at most the volume size. Anything else with MV_USEMULTI, a missing size or one below
// kMinVolumeSize gives ZE_MVPARMS. Returns the result code.
int RunSplit(const DzipOptions& o, Reporter& rep);

// The file of volume `disk` (0-based) of a set whose last volume is lastVolume and has
// lastDisk as its number: name.z01, name.z02, ... (name.z100 beyond 99), lastVolume itself
// for the last one.
std::string SplitVolumeName(const std::string& lastVolume, uint32_t disk, uint32_t lastDisk);

}  // namespace ziplib
