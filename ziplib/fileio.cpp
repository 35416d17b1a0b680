#include "ziplib/fileio.h"

#include <algorithm>

namespace ziplib {
namespace {
constexpr size_t kMaxCall = 1u << 30;   // one system call moves at most this much
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
    if (!WriteFile(h_, p, static_cast<DWORD>(std::min(len, kMaxCall)), &put, nullptr) || put == 0) return false;
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

bool WriteWholeFile(const std::wstring& path, const std::string& text) {
  File f;
  if (!f.Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL)) return false;
  const bool ok = f.Write(text.data(), text.size());
  return f.Close() && ok;
}

}  // namespace ziplib
