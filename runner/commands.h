#pragma once
// Test, the delay before the test, split, join and extract: the commands other than the
// run, each shown in the view it is given. They stand on the run engine
// (runner/runengine.h) and below the progress window.
#include <string>

#include "runner/runprogress.h"
#include "settings/qbprofile.h"

void TestProfiles(TRunProgress& view);   // T, and the test half of B
// B, between run and test: the countdown before the test (the dispatcher calls it
// only when more than one profile was named or the ran-OK list is not empty).
void ShowDelayBeforeTest(TRunProgress& view);
void SplitArchive(TRunProgress& view);   // S
void JoinVolumes(TRunProgress& view);    // A
void ExtractArchive(TRunProgress& view); // X

// Start check of S: does the volume path's folder hold a volume of that name already?
bool CheckVolumesExist(const std::string& volumePath);

// Tests one zip and records the result under the profile's key.
void TestProfileTarget(TRunProgress& view, const TQbProfile& profile, const std::string& computer,
                       const std::string& zip);

// The zip holds exactly one item, named "stored.zip", and nothing else.
bool IsStoredArchiveWrapper(const std::string& zip);
