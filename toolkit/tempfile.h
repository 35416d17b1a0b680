#pragma once
// A temporary file that never outlives the run that writes it. It is created under a
// unique name that no file had (created exclusively), held open from its creation to its
// renaming, shared with no one who could delete it, and marked for deletion meanwhile: a
// run killed at any moment leaves nothing behind. Nothing else is ever removed: a file of
// the same name pattern is not one this run made, and it stays as it is.
#include <windows.h>

#include <string>

namespace tk {

class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { Discard(); }

  // Creates "<prefix><8 hex digits>.tmp" in folder (UTF-8; "" for the current folder), empty.
  // False when it cannot, also when every name tried is taken; Why() says which.
  bool Create(const std::string& folder, const std::string& prefix);
  // The same at a name whose Path() + suffix no file has either: that name is then this
  // run's, for a program that writes a file by its name (the file held here keeps every
  // other run off it).
  bool CreateReserving(const std::string& folder, const std::string& prefix, const std::string& suffix);
  // A second handle to write through; the file lives on while this object holds its own.
  HANDLE Duplicate() const;
  // Puts the finished file in place of target (replacing a file there, unless replace is
  // false) and lets it go; false leaves it marked for deletion.
  bool Commit(const std::string& target, bool replace = true);
  // Copies the whole content into another temporary file (a target on another volume);
  // false leaves the failed call's error as the last error (a full disk: no room there).
  bool CopyTo(TempFile& other) const;
  // Deletes it now (closing it while it is marked).
  void Discard();

  bool IsOpen() const { return h_ != INVALID_HANDLE_VALUE; }
  const std::string& Path() const { return path_; }
  // Why the last Create or Commit failed, in plain words for a message.
  const std::string& Why() const { return why_; }

 private:
  bool SetDeletePending(bool on);
  bool Failed(DWORD error);

  HANDLE h_ = INVALID_HANDLE_VALUE;
  std::string path_, why_;
};

}  // namespace tk
