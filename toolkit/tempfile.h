#pragma once
// A temporary file that never outlives the run that writes it. It is created under a
// unique name, held open from its creation to its renaming, shared with no one who could
// delete it, and marked for deletion meanwhile: a run killed at any moment leaves nothing
// behind. Files of the same name pattern that nobody holds open (left by versions that
// could not mark theirs) are removed when the next one is created in that folder; the file
// of a run still going is held open and is never touched.
#include <windows.h>

#include <string>

namespace tk {

class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { Discard(); }

  // Creates "<prefix><8 hex digits>.tmp" in folder (UTF-8; "" for the current folder), empty,
  // first removing the files "<prefix>*.tmp" there that nobody holds open (sweep).
  bool Create(const std::string& folder, const std::string& prefix, bool sweep = true);
  // A second handle to write through; the file lives on while this object holds its own.
  HANDLE Duplicate() const;
  // Puts the finished file in place of target (replacing a file there) and lets it go;
  // false leaves it marked for deletion.
  bool Commit(const std::string& target);
  // Copies the whole content into another temporary file (a target on another volume).
  bool CopyTo(TempFile& other) const;
  // Deletes it now (closing it while it is marked).
  void Discard();

  bool IsOpen() const { return h_ != INVALID_HANDLE_VALUE; }
  const std::string& Path() const { return path_; }

  // Removes the files matching pattern (a wildcard name) in folder that nobody holds open.
  static void RemoveUnheld(const std::string& folder, const std::string& pattern);

 private:
  bool SetDeletePending(bool on);

  HANDLE h_ = INVALID_HANDLE_VALUE;
  std::string path_;
};

}  // namespace tk
