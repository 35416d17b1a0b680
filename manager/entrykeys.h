#pragma once
// The numbered entry keys (1, 2, ...) below a list key, as the schedules and the
// autoruns are stored.
#include <string>

// Removes every subkey of listKey that is not an entry number 1..count. Called after
// the new entries are written, so the stored list is never empty on the way.
void EraseEntriesBeyond(const std::string& listKey, int count);
