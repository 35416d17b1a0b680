#pragma once
// Joining a standard split archive (name.z01, name.z02, ..., name.zip last) back into one
// zip: the volumes' bytes are copied in order without the split signature, and the
// central directory is rewritten with absolute offsets on disk 0. The result is written
// to a temporary file in the destination folder and renamed only after success.
#include <cstdint>
#include <string>

#include "ziplib/reporter.h"

namespace ziplib {

// lastVolume: the name.zip volume (UTF-8 path). destFolder: folder for the joined zip,
// which takes the last volume's file name. Returns an extraction result code: 0, 12 when
// the joined zip would replace the last volume itself, 9 when a volume is missing, 3 for
// a broken volume set, 28 when the output cannot be written or a file of its name is there
// (a join never replaces one), 48 when cancelled. Progress
// goes to the major callback, failures as errors.
int32_t JoinVolumes(const std::string& lastVolume, const std::string& destFolder, Reporter& rep);

}  // namespace ziplib
