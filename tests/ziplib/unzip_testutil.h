#pragma once
// Helpers of the extraction tests: zips made by outside tools, and a TUnzipFile whose
// events are recorded.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "settings/unzipfile.h"
#include "support/testutil.h"
#include "toolkit/strings.h"

namespace unziptest {

using F = dz::TUnzipFlag;
using S = dz::TUnzipSubOption;

struct Message {
  int id;
  int p1;
  std::string text;
};

// A TUnzipFile with its three events recorded; a test may hook into each.
struct Recorded {
  TUnzipFile uz;
  std::vector<Message> messages;
  std::vector<std::string> majors, minors;
  std::function<bool(const std::string& item)> cancelMajor;  // true: set DoCancel
  std::function<bool(const std::string& item)> cancelMinor;

  Recorded() {
    uz.OnMajorCallback = [this](const char* item, int32_t, bool& cancel) {
      majors.push_back(item ? item : "");
      if (cancelMajor && cancelMajor(majors.back())) cancel = true;
    };
    uz.OnMinorCallback = [this](const char* item, int32_t, bool& cancel) {
      minors.push_back(item ? item : "");
      if (cancelMinor && cancelMinor(minors.back())) cancel = true;
    };
    uz.OnMessageCallback = [this](uint16_t id, uint16_t, int32_t p1, int32_t, char* s1, char* s2, int32_t& rtn) {
      messages.push_back({id, p1, s1 ? s1 : ""});
      // The runner writes into the second buffer for every message: it must be writable.
      if (s2) snprintf(s2, dz::kDzMsgBufferSize, "%s", "Quillbank 2.0");
      rtn = 1;
    };
  }
  int Count(int id) const {
    int n = 0;
    for (const Message& m : messages) n += m.id == id;
    return n;
  }

  // Function 8 over a zip: test (dest empty) or extract.
  int Run(const std::string& zip, const std::string& spec, const std::string& dest, TUnzipFlags flags,
          TUnzipSubOptions sub = {}) {
    uz.IndexofItem = -1;
    uz.Options = flags;
    uz.wUnzipSubOptions = sub;
    uz.lpszZipFile.SetText(zip);
    uz.lpszFileSpec.SetText(spec);
    uz.lpszDestination.SetText(dest.empty() ? nullptr : dest.c_str());
    uz.Execute(8);
    return uz.ResultCode();
  }
  int Test(const std::string& zip) { return Run(zip, "*.*", "", {F::QuietFlag, F::TestFlag, F::RecurseFlag}); }
  int Extract(const std::string& zip, const std::string& dest) {
    return Run(zip, "*.*", dest, {F::OverWriteFlag, F::RecurseFlag});
  }

  // Functions 1 and 2: the item names, or the result code that stopped the walk.
  std::vector<std::string> List(const std::string& zip, int* result = nullptr, std::vector<uint32_t>* attrs = nullptr) {
    std::vector<std::string> names;
    uz.Options = {F::QuietFlag};
    uz.lpszZipFile.SetText(zip);
    if (!uz.Execute(1)) {
      if (result) *result = uz.ResultCode();
      return names;
    }
    const int count = uz.ItemCount;
    for (int i = 0; i < count; ++i) {
      if (!uz.Execute(2)) {
        if (result) *result = uz.ResultCode();
        return names;
      }
      names.push_back(uz.ItemRecord().name);
      if (attrs) attrs->push_back(uz.ItemRecord().attributes);
    }
    if (result) *result = 0;
    return names;
  }
};

// Every file below folder holds one of the original contents: nothing damaged was written
// as good.
inline void CheckTree(const std::string& folder, const std::set<std::string>& originals, const std::string& what) {
  for (const std::string& n : qbtest::ListDir(folder)) {
    const std::string p = folder + "\\" + n;
    if (GetFileAttributesW(tk::Widen(p).c_str()) & FILE_ATTRIBUTE_DIRECTORY)
      CheckTree(p, originals, what);
    else
      EXPECT_TRUE(originals.count(qbtest::ReadFile(p))) << what << ": " << n << " extracted with wrong content";
  }
}

// Runs a shell command in a folder on the Linux side; fails the test when it fails.
inline void Sh(const std::string& folder, const std::string& command) {
  std::string out;
  const int rc = qbtest::RunUnix("cd '" + qbtest::ToUnixPath(folder) + "' && " + command, &out);
  ASSERT_EQ(rc, 0) << command << "\n" << out;
}

// Runs a python3 script (written to the folder) there.
inline void Python(const std::string& folder, const std::string& script) {
  qbtest::WriteFile(folder + "script.py", script);
  Sh(folder, "python3 script.py");
}

}  // namespace unziptest
