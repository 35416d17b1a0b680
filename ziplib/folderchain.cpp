#include "ziplib/folderchain.h"

#include <winternl.h>

#include <cstring>
#include <cwchar>

namespace ziplib {
namespace {

using NtCreateFileFn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                        ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using StatusToErrorFn = ULONG(NTAPI*)(NTSTATUS);
using NtSetInformationFileFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);

// The native calls that open a name relative to a folder handle, looked up once. No
// function-local static with a constructor: its guard would take a thread-local slot on
// each load of the library, and a caller that loads it for every call runs out of them.
struct Native {
  NtCreateFileFn create;
  StatusToErrorFn toError;
  NtSetInformationFileFn setInformation;
};
Native g_native{};
INIT_ONCE g_nativeOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK LoadNative(PINIT_ONCE, PVOID, PVOID*) {
  if (HMODULE nt = GetModuleHandleW(L"ntdll.dll")) {
    g_native.create = reinterpret_cast<NtCreateFileFn>(reinterpret_cast<void*>(GetProcAddress(nt, "NtCreateFile")));
    g_native.toError =
        reinterpret_cast<StatusToErrorFn>(reinterpret_cast<void*>(GetProcAddress(nt, "RtlNtStatusToDosError")));
    g_native.setInformation = reinterpret_cast<NtSetInformationFileFn>(
        reinterpret_cast<void*>(GetProcAddress(nt, "NtSetInformationFile")));
  }
  return TRUE;
}

const Native& Nt() {
  InitOnceExecuteOnce(&g_nativeOnce, LoadNative, nullptr, nullptr);
  return g_native;
}

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr ULONG kOpen = 1;   // open what is there
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE;

// Opens or creates `name` relative to the folder handle; nullptr with the last error set.
HANDLE OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG attributes, ULONG share,
                    ULONG disposition, ULONG options) {
  const Native& nt = Nt();
  if (!nt.create || name.empty() || name.size() > 32767) {
    SetLastError(nt.create ? ERROR_INVALID_NAME : ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  UNICODE_STRING text;
  text.Buffer = const_cast<wchar_t*>(name.data());
  text.Length = USHORT(name.size() * sizeof(wchar_t));
  text.MaximumLength = text.Length;
  OBJECT_ATTRIBUTES oa;
  InitializeObjectAttributes(&oa, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE h = nullptr;
  const NTSTATUS st = nt.create(&h, access, &oa, &io, nullptr, attributes, share, disposition, options, nullptr, 0);
  if (st < 0) {
    SetLastError(nt.toError ? nt.toError(st) : ERROR_GEN_FAILURE);
    return nullptr;
  }
  return h;
}

// Gives the folder open as `h` the name `name` in `folder` (not over anything there).
bool RenameRelative(HANDLE h, HANDLE folder, const std::wstring& name) {
  const Native& nt = Nt();
  if (!nt.setInformation) return false;
  std::vector<uint8_t> buf(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
  info->ReplaceIfExists = FALSE;
  info->RootDirectory = folder;
  info->FileNameLength = DWORD(name.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, name.data(), info->FileNameLength);
  IO_STATUS_BLOCK io{};
  return nt.setInformation(h, &io, info, ULONG(buf.size()), FILE_INFORMATION_CLASS(10)) >= 0;   // rename
}

std::wstring PassingName() {
  static LONG serial = 0;
  wchar_t name[32];
  swprintf(name, 32, L"qbd%04lx%04lx.tmp", GetCurrentProcessId() & 0xFFFFul,
           (unsigned long)(InterlockedIncrement(&serial) + GetTickCount()) & 0xFFFFul);
  return name;
}

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Makes a folder named by its whole path and its missing parents, from the deepest that
// exists down, without recursion. Used for the top alone, a path the caller chose.
bool MakeByPath(const std::wstring& path) {
  if (path.empty()) return true;
  // Where the separators are; a drive's root and a share's first parts are never made.
  std::vector<size_t> cuts;
  for (size_t i = 1; i < path.size(); ++i)
    if ((path[i] == L'\\' || path[i] == L'/') && path[i - 1] != L':' && path[i - 1] != L'\\') cuts.push_back(i);
  cuts.push_back(path.size());
  size_t start = cuts.size();
  while (start > 0 && !IsFolder(path.substr(0, cuts[start - 1]))) --start;
  for (size_t level = start; level < cuts.size(); ++level) {
    const std::wstring prefix = path.substr(0, cuts[level]);
    if (!CreateDirectoryW(prefix.c_str(), nullptr) && !IsFolder(prefix)) return false;
  }
  return true;
}

}  // namespace

std::vector<std::wstring> PathParts(const std::wstring& rel) {
  std::vector<std::wstring> parts;
  size_t from = 0;
  while (from <= rel.size()) {
    size_t cut = rel.find(L'\\', from);
    if (cut == std::wstring::npos) cut = rel.size();
    size_t end = cut;
    while (end > from && (rel[end - 1] == L'.' || rel[end - 1] == L' ')) --end;
    if (end > from) parts.push_back(rel.substr(from, end - from));
    from = cut + 1;
  }
  return parts;
}

bool FolderChain::Start(const std::wstring& top) {
  Reset();
  top_ = top;
  if (!MakeByPath(top_)) return false;
  // Passing names of runs killed at that moment: empty folders, which only an empty one is.
  const std::wstring dir = top_.empty() || top_.back() == L'\\' ? top_ : top_ + L'\\';
  WIN32_FIND_DATAW fd;
  HANDLE f = FindFirstFileW((dir + L"qbd*.tmp").c_str(), &fd);
  if (f != INVALID_HANDLE_VALUE) {
    do {
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryW((dir + fd.cFileName).c_str());
    } while (FindNextFileW(f, &fd));
    FindClose(f);
  }
  return Reach(L"", false) != nullptr;
}

void FolderChain::Reset() {
  for (const Level& l : levels_)
    if (l.handle) CloseHandle(l.handle);
  levels_.clear();
  if (topHandle_) CloseHandle(topHandle_);
  topHandle_ = nullptr;
}

HANDLE FolderChain::MakeLevel(HANDLE parent, const std::wstring& part, bool* passing) {
  constexpr ULONG kOptions = FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT;
  if (!*passing) {
    if (HANDLE h = OpenRelative(parent, part, kFolderAccess, 0, kShareAll, kOpen, kOptions)) return h;
    // Made under a passing name, renamed through a second handle; this one keeps the name.
    const std::wstring temp = PassingName();
    if (HANDLE h = OpenRelative(parent, temp, kFolderAccess, FILE_ATTRIBUTE_NORMAL, kShareAll, FILE_CREATE, kOptions)) {
      HANDLE mover = OpenRelative(parent, temp, DELETE | SYNCHRONIZE, 0, kShareAll, kOpen, kOptions);
      const bool renamed = mover && RenameRelative(mover, parent, part);
      if (mover) {
        if (!renamed) {
          FILE_DISPOSITION_INFO d{TRUE};
          SetFileInformationByHandle(mover, FileDispositionInfo, &d, sizeof d);
        }
        CloseHandle(mover);
      }
      if (renamed) {
        *passing = true;
        return h;
      }
      CloseHandle(h);
    }
  }
  return OpenRelative(parent, part, kFolderAccess, FILE_ATTRIBUTE_NORMAL, kShareAll, FILE_OPEN_IF, kOptions);
}

HANDLE FolderChain::Reach(const std::wstring& rel, bool create) {
  if (!topHandle_) {
    const std::wstring top = top_.empty() ? L"." : top_;
    HANDLE h = CreateFileW(top.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE && create && MakeByPath(top_))
      h = CreateFileW(top.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                      nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    topHandle_ = h;
  }
  const std::vector<std::wstring> parts = PathParts(rel);
  // The levels both paths share stay open; below them the chain follows the new path.
  size_t same = 0;
  while (same < parts.size() && same < levels_.size() && parts[same] == levels_[same].part) ++same;
  while (levels_.size() > same) {
    if (levels_.back().handle) CloseHandle(levels_.back().handle);
    levels_.pop_back();
  }
  // Levels that are there already, below a folder this chain did not make, are each
  // costly to open one by one: the deepest of them is opened by its whole path at once
  // and those between are left unopened until a later path needs them.
  if (parts.size() - same >= 2 && !(same > 0 && levels_.back().passing)) {
    auto prefix = [&](size_t level) {
      std::wstring path = top_.empty() ? L"." : top_;
      for (size_t i = 0; i <= level; ++i) {
        if (path.back() != L'\\') path += L'\\';
        path += parts[i];
      }
      return path;
    };
    size_t there = same, above = parts.size();   // levels [same, there) are there, [above, ...) are not
    if (IsFolder(prefix(parts.size() - 1))) {
      there = parts.size();
    } else {
      above = parts.size() - 1;
      while (there < above) {
        const size_t mid = there + (above - there) / 2;
        if (IsFolder(prefix(mid))) there = mid + 1;
        else above = mid;
      }
    }
    if (there > same + 1) {
      HANDLE h = CreateFileW(prefix(there - 1).c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        for (size_t i = same; i + 1 < there; ++i) levels_.push_back({parts[i], nullptr, false});
        levels_.push_back({parts[there - 1], h, false});
        same = there;
      }
    }
  }
  for (size_t i = same; i < parts.size(); ++i) {
    HANDLE parent = levels_.empty() ? topHandle_ : LevelHandle(levels_.size() - 1);
    if (!parent) return nullptr;
    bool passing = !levels_.empty() && levels_.back().passing;
    HANDLE h = create ? MakeLevel(parent, parts[i], &passing)
                      : OpenRelative(parent, parts[i], kFolderAccess, 0, kShareAll, kOpen,
                                     FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
    if (!h) return nullptr;
    levels_.push_back({parts[i], h, passing});
  }
  return levels_.empty() ? topHandle_ : LevelHandle(levels_.size() - 1);
}

HANDLE FolderChain::LevelHandle(size_t level) {
  Level& l = levels_[level];
  if (!l.handle) {
    std::wstring path = top_.empty() ? L"." : top_;
    for (size_t i = 0; i <= level; ++i) {
      if (path.back() != L'\\') path += L'\\';
      path += levels_[i].part;
    }
    HANDLE h = CreateFileW(path.c_str(), kFolderAccess, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    l.handle = h == INVALID_HANDLE_VALUE ? nullptr : h;
  }
  return l.handle;
}

HANDLE FolderChain::Make(const std::wstring& rel) {
  if (HANDLE h = Reach(rel, true)) return h;
  // A folder held open may have been removed meanwhile: once more from the top.
  Reset();
  return Reach(rel, true);
}

HANDLE FolderChain::Find(const std::wstring& rel) {
  if (HANDLE h = Reach(rel, false)) return h;
  Reset();
  return Reach(rel, false);
}

HANDLE FolderChain::CreateNewFile(HANDLE folder, const std::wstring& name) {
  const std::vector<std::wstring> parts = PathParts(name);
  if (parts.size() != 1) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE h = OpenRelative(folder, parts[0], GENERIC_WRITE | SYNCHRONIZE, FILE_ATTRIBUTE_NORMAL, 0, FILE_CREATE,
                          FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_SEQUENTIAL_ONLY);
  return h ? h : INVALID_HANDLE_VALUE;
}

HANDLE FolderChain::OpenForAttributes(HANDLE folder, const std::wstring& name) {
  const std::vector<std::wstring> parts = PathParts(name);
  if (parts.size() != 1) return nullptr;
  return OpenRelative(folder, parts[0], FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      kOpen, FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
}

}  // namespace ziplib
