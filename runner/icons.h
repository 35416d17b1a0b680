#pragma once
// The small status pictures of the progress window, drawn at run time (16 x 16):
// what the current command does to the zip and which options are in force.
#include <windows.h>

enum class TStatusIcon { Add, Update, Freshen, Test, StoreAndZip, ArchiveOnly, ResetArchive, Password, AfterDate,
                         DeleteOriginal };

// A new icon the caller destroys (nullptr when the system refuses one).
HICON CreateStatusIcon(TStatusIcon which);
