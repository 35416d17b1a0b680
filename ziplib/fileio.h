#pragma once
// The library's one door to the file system's files: a handle owned by one object, opened
// by path (or adopted from a folder walk or a temporary file), read, written, sought,
// sized, flushed, given its times and attributes and closed; and what the library does to
// a file by its path (attributes, removal, the full path). The calls are the system's own,
// one for one: a read or a write here costs what it cost before, and the flags of the
// open are the caller's.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace ziplib {

class File {
 public:
  File() = default;
  explicit File(HANDLE h) : h_(h == nullptr ? INVALID_HANDLE_VALUE : h) {}   // adopts h
  ~File() { Close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept : h_(other.Release()) {}
  File& operator=(File&& other) noexcept;

  // Opens path as CreateFileW would with these arguments; false with the last error set.
  bool Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags);
  bool IsOpen() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE Release();          // the handle, no longer owned
  bool Close();              // false when the close itself failed

  // One read at the current position: *got 0 at the end of the file.
  bool ReadSome(void* buf, size_t len, size_t* got);
  // Exactly len bytes at the current position; false on a short read.
  bool Read(void* buf, size_t len);
  // Exactly len bytes at offset: a seek and plain reads.
  bool ReadAt(uint64_t offset, void* buf, size_t len) { return IsOpen() && Seek(offset) && Read(buf, len); }
  // Up to len bytes at offset, each read given its place (the handle's position is left
  // alone, so threads may share it); *got short only at the end of the file.
  bool ReadPlaced(uint64_t offset, void* buf, uint32_t len, uint32_t* got);
  bool Write(const void* buf, size_t len);   // all of it, or false
  bool Seek(uint64_t offset);
  bool Size(uint64_t* size) const;
  bool Flush();              // to the disk
  // The times given (a null one is left as it is), through a handle opened to write them.
  bool SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite);
  // The attributes, through a handle opened to write them (a folder's too).
  bool SetAttributes(DWORD attributes);
  // Marks the file to go when its last handle closes, or takes the mark off, through a
  // handle opened with the right to delete it.
  bool SetDeletePending(bool on);
  static DWORD LastError() { return GetLastError(); }

 private:
  HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Writes text as the whole content of path, replacing it; false when any step fails.
bool WriteWholeFile(const std::wstring& path, const std::string& text);

// The attributes of what path names; INVALID_FILE_ATTRIBUTES when nothing is there.
DWORD PathAttributes(const std::wstring& path);
// Its attributes, size and times; false when nothing is there.
bool PathAttributeData(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA* data);
bool SetPathAttributes(const std::wstring& path, DWORD attributes);
bool RemoveFile(const std::wstring& path);
// The path made whole from the current folder; the path itself when it cannot be.
std::wstring FullPath(const std::wstring& path);

}  // namespace ziplib
