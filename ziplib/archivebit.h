#pragma once
// The one seam through which compression reads and clears the archive attribute.
// Wine keeps that attribute set on every file, so tests replace the real attribute with a
// table: when the environment variable QB_ARCHIVE_BIT_TABLE names a file, each of its lines
// "1 <path>" or "0 <path>" gives the archive bit of one file (Windows path, compared
// without regard to case); clearing a listed file rewrites its line to "0". Files not in
// the table, and every file when the variable is not set, use the real attribute.
#include <string>

namespace ziplib {

// Is the archive bit of the file set? realAttributes are the attributes the file search gave.
bool HasArchiveBit(const std::wstring& path, unsigned long realAttributes);
// Clears the archive bit; false when that failed.
bool ClearArchiveBit(const std::wstring& path);

}  // namespace ziplib
