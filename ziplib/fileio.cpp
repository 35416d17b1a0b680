#include "ziplib/fileio.h"

#include <algorithm>

namespace ziplib {
namespace {
constexpr size_t kMaxCall = 1u << 30;   // one system call moves at most this much
// A write goes to the system in pieces of at most 1 MiB. Larger pieces save nothing, and a
// system cache that takes a write of several MiB into fresh runs of pages of that size can
// take it many times slower (seen on a virtual machine: 0.7 s against 0.02 s for 90 MB).
constexpr size_t kMaxWrite = 1u << 20;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    h_ = other.Release();
  }
  return *this;
}

bool File::Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
  Close();
  h_ = CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
  return IsOpen();
}

HANDLE File::Release() {
  HANDLE h = h_;
  h_ = INVALID_HANDLE_VALUE;
  return h;
}

bool File::Close() {
  if (!IsOpen()) return true;
  return CloseHandle(Release()) != 0;
}

bool File::ReadSome(void* buf, size_t len, size_t* got) {
  DWORD n = 0;
  const bool ok = ReadFile(h_, buf, static_cast<DWORD>(std::min(len, kMaxCall)), &n, nullptr) != 0;
  *got = n;
  return ok;
}

bool File::Read(void* buf, size_t len) {
  auto* p = static_cast<uint8_t*>(buf);
  while (len > 0) {
    size_t got = 0;
    if (!ReadSome(p, len, &got) || got == 0) return false;
    p += got;
    len -= got;
  }
  return true;
}

bool File::ReadPlaced(uint64_t offset, void* buf, uint32_t len, uint32_t* got) {
  auto* p = static_cast<uint8_t*>(buf);
  *got = 0;
  while (*got < len) {
    OVERLAPPED ov{};
    const uint64_t at = offset + *got;
    ov.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
    ov.OffsetHigh = static_cast<DWORD>(at >> 32);
    DWORD n = 0;
    if (!ReadFile(h_, p + *got, len - *got, &n, &ov)) return GetLastError() == ERROR_HANDLE_EOF;
    if (n == 0) break;
    *got += n;
  }
  return true;
}

bool File::Write(const void* buf, size_t len) {
  const auto* p = static_cast<const uint8_t*>(buf);
  while (len > 0) {
    DWORD put = 0;
    if (!WriteFile(h_, p, static_cast<DWORD>(std::min(len, kMaxWrite)), &put, nullptr) || put == 0) return false;
    p += put;
    len -= put;
  }
  return true;
}

bool File::Seek(uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(h_, at, nullptr, FILE_BEGIN) != 0;
}

bool File::Size(uint64_t* size) const {
  LARGE_INTEGER li{};
  if (!GetFileSizeEx(h_, &li)) return false;
  *size = static_cast<uint64_t>(li.QuadPart);
  return true;
}

bool File::Flush() { return FlushFileBuffers(h_) != 0; }

bool File::SetTimes(const FILETIME* creation, const FILETIME* lastAccess, const FILETIME* lastWrite) {
  return SetFileTime(h_, creation, lastAccess, lastWrite) != 0;
}

bool File::SetAttributes(DWORD attributes) {
  FILE_BASIC_INFO info{};   // times left at 0: unchanged
  info.FileAttributes = attributes;
  return SetFileInformationByHandle(h_, FileBasicInfo, &info, sizeof info) != 0;
}

bool File::SetDeletePending(bool on) {
  FILE_DISPOSITION_INFO info{};
  info.DeleteFile = on ? TRUE : FALSE;
  return SetFileInformationByHandle(h_, FileDispositionInfo, &info, sizeof info) != 0;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text) {
  File f;
  if (!f.Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL)) return false;
  const bool ok = f.Write(text.data(), text.size());
  return f.Close() && ok;
}

DWORD PathAttributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

bool PathAttributeData(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, data) != 0;
}

bool SetPathAttributes(const std::wstring& path, DWORD attributes) {
  return SetFileAttributesW(path.c_str(), attributes) != 0;
}

bool RemoveFile(const std::wstring& path) { return DeleteFileW(path.c_str()) != 0; }

std::wstring FullPath(const std::wstring& path) {
  std::wstring full(GetFullPathNameW(path.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD n = full.empty() ? 0 : GetFullPathNameW(path.c_str(), DWORD(full.size()), full.data(), nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  return full;
}

}  // namespace ziplib
