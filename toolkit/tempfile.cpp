#include "toolkit/tempfile.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "toolkit/strings.h"

namespace tk {
namespace {

std::wstring FolderWithSeparator(const std::string& folder) {
  std::wstring dir = Widen(folder);
  if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
  return dir;
}

constexpr int kNamesTried = 100;

}  // namespace

bool TempFile::Failed(DWORD error) {
  switch (error) {
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: why_ = "every one of the " + std::to_string(kNamesTried) + " temporary names tried is taken"; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: why_ = "the disk is full"; break;
    case ERROR_ACCESS_DENIED: why_ = "access is denied"; break;
    case ERROR_SHARING_VIOLATION: why_ = "the file is in use"; break;
    case ERROR_PATH_NOT_FOUND: why_ = "the folder is not there"; break;
    // A path past the host's limit reads under Wine as a general failure.
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_GEN_FAILURE: why_ = "the folder's path is longer than the system can write to"; break;
    default: why_ = "system error " + std::to_string(error); break;
  }
  SetLastError(error);
  return false;
}

bool TempFile::Create(const std::string& folder, const std::string& prefix) {
  Discard();
  const std::wstring dir = FolderWithSeparator(folder), stem = Widen(prefix);
  static LONG serial = 0;
  for (int attempt = 0; attempt < kNamesTried; ++attempt) {
    wchar_t name[32];
    swprintf(name, 32, L"%04lx%04lx.tmp", GetCurrentProcessId() & 0xFFFFul,
             (unsigned long)(InterlockedIncrement(&serial) + GetTickCount()) & 0xFFFFul);
    const std::wstring path = dir + stem + name;
    h_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h_ != INVALID_HANDLE_VALUE) {
      path_ = Narrow(path);
      why_.clear();
      SetDeletePending(true);
      return true;
    }
    const DWORD err = GetLastError();
    if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) return Failed(err);
  }
  return Failed(ERROR_FILE_EXISTS);
}

bool TempFile::CreateReserving(const std::string& folder, const std::string& prefix, const std::string& suffix) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (!Create(folder, prefix)) return false;
    if (GetFileAttributesW(Widen(path_ + suffix).c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
      return true;
  }
  Discard();
  return false;
}

HANDLE TempFile::Duplicate() const {
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), h_, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
    return INVALID_HANDLE_VALUE;
  return copy;
}

bool TempFile::Commit(const std::string& target, bool replace) {
  if (!IsOpen()) return Failed(ERROR_INVALID_HANDLE);
  if (!SetDeletePending(false)) return Failed(GetLastError());
  const std::wstring to = Widen(target);
  std::vector<uint8_t> buf(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
  info->ReplaceIfExists = replace ? TRUE : FALSE;
  info->RootDirectory = nullptr;
  info->FileNameLength = DWORD(to.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, to.data(), info->FileNameLength);
  if (!SetFileInformationByHandle(h_, FileRenameInfo, info, DWORD(buf.size()))) {
    const DWORD err = GetLastError();
    SetDeletePending(true);
    Failed(err);
    if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) why_ = "a file of that name is there";
    return false;
  }
  CloseHandle(h_);
  h_ = INVALID_HANDLE_VALUE;
  path_ = target;
  return true;
}

bool TempFile::CopyTo(TempFile& other) const {
  LARGE_INTEGER zero{};
  if (!SetFilePointerEx(h_, zero, nullptr, FILE_BEGIN) || !SetFilePointerEx(other.h_, zero, nullptr, FILE_BEGIN))
    return false;
  std::vector<uint8_t> buf(1u << 20);
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(h_, buf.data(), DWORD(buf.size()), &got, nullptr)) return false;
    if (got == 0) return FlushFileBuffers(other.h_) != 0;
    // A write may take part of the piece (a disk nearly full): the rest goes in the next one,
    // whose failure then says why.
    for (DWORD done = 0; done < got; done += put)
      if (!WriteFile(other.h_, buf.data() + done, got - done, &put, nullptr) || put == 0) return false;
  }
}

void TempFile::Discard() {
  if (!IsOpen()) return;
  SetDeletePending(true);
  CloseHandle(h_);
  h_ = INVALID_HANDLE_VALUE;
  path_.clear();
}

bool TempFile::SetDeletePending(bool on) {
  FILE_DISPOSITION_INFO d{};
  d.DeleteFile = on ? TRUE : FALSE;
  return SetFileInformationByHandle(h_, FileDispositionInfo, &d, sizeof d) != 0;
}

}  // namespace tk
