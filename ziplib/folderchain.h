#pragma once
// The folders an extraction writes into, reached relative to each other. The folders
// along the path last reached are held open, and the next folder or file is opened
// relative to its parent's handle: a call that names a whole path costs in proportion to
// the path's depth, a relative one the same at every level, so an item thousands of
// folders deep is made in time that grows with its depth rather than its square, and
// items in the same or a nearby folder cost only the levels where their paths part.
//
// A folder this chain makes is first made under a passing name ("qbd*.tmp") and renamed
// at once through a second handle: the file system layer under Wine resolves the recorded
// name of a folder's whole path again on every open below it, and a handle that keeps the
// passing name spares every level below it that cost. The passing name is created
// exclusively; a run killed between the two calls leaves that empty folder, which nothing
// removes later: a folder of that name may as well be the user's.
#include <windows.h>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "ziplib/fileio.h"

namespace ziplib {

class FolderChain {
 public:
  FolderChain() = default;
  FolderChain(const FolderChain&) = delete;
  FolderChain& operator=(const FolderChain&) = delete;
  ~FolderChain() { Reset(); }

  // Makes the top folder (and its missing parents) that every later path starts from and
  // opens it; "" stands for the current folder. False when it cannot be made.
  bool Start(const std::wstring& top);

  // The folder rel under the top (parts separated by '\', "" for the top itself), made
  // with its missing parents. The handle belongs to the chain and stays valid until the
  // next call; nullptr (with the last error set) when it cannot be made. A folder of the
  // chain removed behind our back is made again.
  HANDLE Make(const std::wstring& rel);
  // The same for a folder that must exist already; nullptr when it does not.
  HANDLE Find(const std::wstring& rel);
  // As Make, for creating files in: a folder this chain made is opened once more under its
  // own name (the chain's handle keeps the passing one), since under Wine a file keeps the
  // name it was made by, and a file marked for deletion is removed by that name when it is
  // closed or its process is killed. Where that open fails (a path past the host's limit),
  // the chain's own handle.
  HANDLE MakeForFiles(const std::wstring& rel);

  // A new file `name` in `folder` (a handle from Make), opened for writing (and deleting) alone;
  // INVALID_HANDLE_VALUE with the last error set when it cannot be created (ERROR_ALREADY_EXISTS
  // when something of that name is there).
  static HANDLE CreateNewFile(HANDLE folder, const std::wstring& name);
  // The folder `name` in `folder`, opened to set its times and attributes; nullptr when it cannot.
  static HANDLE OpenForAttributes(HANDLE folder, const std::wstring& name);

  // Closes every handle; the next call opens the top again.
  void Reset();

  // True when the folder rel was made by this chain since its Start (not there before).
  bool Made(const std::wstring& rel) const;

 private:
  HANDLE Reach(const std::wstring& rel, bool create);

  struct Level {
    std::wstring part;     // the folder's name
    HANDLE handle;         // the folder of this and the levels above; nullptr until needed
    bool passing;          // made by this chain (or below such a folder): see above
    HANDLE named;          // a passing folder opened under its own name; nullptr until needed,
                           // INVALID_HANDLE_VALUE when it could not be
  };
  HANDLE MakeLevel(HANDLE parent, const std::wstring& part, bool* passing, bool* made);
  static std::wstring Key(std::wstring rel);   // folder names compare without case
  HANDLE LevelHandle(size_t level);   // opens a level left unopened by its whole path
  std::wstring LevelPath(size_t level) const;   // the whole path of a level
  void Drop(Level& l);                // closes its handles

  std::wstring top_;
  HANDLE topHandle_ = nullptr;
  std::vector<Level> levels_;   // the path held open, from the top down
  std::unordered_set<std::wstring> made_;   // the folders made, by Key
};

// The reading side: a walk down a tree opens each folder relative to its parent and lists
// it through its handle, so no call names a whole path that grows with the depth.
struct FolderEntry {
  std::wstring name;
  DWORD attributes;
  uint64_t size;                          // 0 for a folder
  uint64_t creation, lastAccess, lastWrite;   // FILETIME values
};
// A folder named by its whole path, opened to list it and to open what lies in it;
// nullptr when it cannot be opened.
HANDLE OpenFolder(const std::wstring& path);
// The folder `name` in `folder`, opened the same way; nullptr (with the last error) when it cannot be.
HANDLE OpenSubfolder(HANDLE folder, const std::wstring& name);
// Appends the entries of the folder ("." and ".." left out) in the order the file system
// gives them; false when it cannot be listed.
bool ListFolder(HANDLE folder, std::vector<FolderEntry>& entries);

// A file opened to read (shared with everyone, as CreateFileW with `flags` would), also
// one whose whole path is too long for the system to resolve at once: then it is reached
// folder by folder from its root. Not open, with the last error set, when it cannot be.
File OpenFileToRead(const std::wstring& path, DWORD flags);

// The path split into its parts at '\', each without the trailing dots and blanks a
// file name cannot end in (as a whole-path call would drop them); empty parts are skipped.
std::vector<std::wstring> PathParts(const std::wstring& rel);

}  // namespace ziplib
