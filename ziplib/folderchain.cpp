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
using NtQueryDirectoryFileFn = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);

// The native calls that open a name relative to a folder handle, looked up once. No
// function-local static with a constructor: its guard would take a thread-local slot on
// each load of the library, and a caller that loads it for every call runs out of them.
struct Native {
  NtCreateFileFn create;
  StatusToErrorFn toError;
  NtSetInformationFileFn setInformation;
  NtQueryDirectoryFileFn queryDirectory;
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
    g_native.queryDirectory = reinterpret_cast<NtQueryDirectoryFileFn>(
        reinterpret_cast<void*>(GetProcAddress(nt, "NtQueryDirectoryFile")));
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
// *created, when given, tells whether the call made it.
HANDLE OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG attributes, ULONG share,
                    ULONG disposition, ULONG options, bool* created = nullptr) {
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
  if (created) *created = io.Information == FILE_CREATED;
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

// The record of one entry of a folder listing (the file directory information class).
struct DirectoryRecord {
  ULONG nextEntryOffset;
  ULONG fileIndex;
  LARGE_INTEGER creation, lastAccess, lastWrite, change, endOfFile, allocation;
  ULONG attributes;
  ULONG nameLength;   // in bytes
  WCHAR name[1];
};
constexpr auto kDirectoryInformation = FILE_INFORMATION_CLASS(1);
constexpr NTSTATUS kNoMoreFiles = NTSTATUS(0x80000006L);

uint64_t Time(const LARGE_INTEGER& t) { return static_cast<uint64_t>(t.QuadPart); }

}  // namespace

HANDLE OpenFolder(const std::wstring& path) {
  File f;
  return f.Open(path, kFolderAccess, kShareAll, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS) ? f.Release() : nullptr;
}

HANDLE OpenSubfolder(HANDLE folder, const std::wstring& name) {
  return OpenRelative(folder, name, kFolderAccess, 0, kShareAll, kOpen,
                      FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
}

bool ListFolder(HANDLE folder, std::vector<FolderEntry>& entries) {
  const Native& nt = Nt();
  if (!nt.queryDirectory) return false;
  std::vector<ULONGLONG> buf(64 * 1024 / sizeof(ULONGLONG));   // 8-byte aligned records
  for (;;) {
    IO_STATUS_BLOCK io{};
    const NTSTATUS st = nt.queryDirectory(folder, nullptr, nullptr, nullptr, &io, buf.data(),
                                          ULONG(buf.size() * sizeof(ULONGLONG)), kDirectoryInformation, FALSE,
                                          nullptr, FALSE);
    if (st == kNoMoreFiles) return true;
    if (st < 0) return false;
    const auto* at = reinterpret_cast<const uint8_t*>(buf.data());
    for (;;) {
      const auto* r = reinterpret_cast<const DirectoryRecord*>(at);
      std::wstring name(r->name, r->nameLength / sizeof(WCHAR));
      if (name != L"." && name != L"..")
        entries.push_back({std::move(name), r->attributes, Time(r->endOfFile), Time(r->creation),
                           Time(r->lastAccess), Time(r->lastWrite)});
      if (r->nextEntryOffset == 0) break;
      at += r->nextEntryOffset;
    }
  }
}

File OpenFileToRead(const std::wstring& path, DWORD flags) {
  File whole;
  whole.Open(path, GENERIC_READ, kShareAll, OPEN_EXISTING, flags);
  const DWORD err = GetLastError();
  // A path too deep for the system to resolve at once reads as missing, too long or (under
  // Wine, past the host's path limit) a general failure.
  if (whole.IsOpen() || (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND &&
                                    err != ERROR_FILENAME_EXCED_RANGE && err != ERROR_INVALID_NAME &&
                                    err != ERROR_GEN_FAILURE))
    return whole;
  // Then from the deepest folder above it that a whole path still reaches (found by
  // halving), folder by folder.
  std::vector<size_t> cuts;   // where each folder of the path ends
  const size_t root = path.compare(0, 2, L"\\\\") == 0 ? path.find(L'\\', path.find(L'\\', 2) + 1) : path.find(L'\\');
  for (size_t cut = root; cut != std::wstring::npos; cut = path.find(L'\\', cut + 1)) cuts.push_back(cut);
  if (cuts.size() < 2) return whole;
  size_t reached = 0, missing = cuts.size();   // cuts[reached] is a folder; cuts[missing] not (or the file)
  while (missing - reached > 1) {
    const size_t mid = reached + (missing - reached) / 2;
    if (IsFolder(path.substr(0, cuts[mid] + 1))) reached = mid;
    else missing = mid;
  }
  HANDLE folder = OpenFolder(path.substr(0, cuts[reached] + 1));
  for (size_t i = reached; folder && i + 1 < cuts.size(); ++i) {
    HANDLE below = OpenSubfolder(folder, path.substr(cuts[i] + 1, cuts[i + 1] - cuts[i] - 1));
    CloseHandle(folder);
    folder = below;
  }
  if (folder) {
    const ULONG sequential = flags & FILE_FLAG_SEQUENTIAL_SCAN ? FILE_SEQUENTIAL_ONLY : 0;
    HANDLE h = OpenRelative(folder, path.substr(cuts.back() + 1), GENERIC_READ | SYNCHRONIZE, 0, kShareAll, kOpen,
                     FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | sequential);
    const DWORD fileErr = GetLastError();
    CloseHandle(folder);
    if (h) return File(h);
    // A file that is there but cannot be opened says why; else the first answer stands.
    if (fileErr != ERROR_FILE_NOT_FOUND && fileErr != ERROR_PATH_NOT_FOUND) {
      SetLastError(fileErr);
      return File();
    }
  }
  SetLastError(err);
  return File();
}

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

std::wstring FolderChain::Key(std::wstring rel) {
  if (!rel.empty()) CharUpperBuffW(rel.data(), DWORD(rel.size()));
  return rel;
}

bool FolderChain::Made(const std::wstring& rel) const {
  std::wstring key;
  for (const std::wstring& part : PathParts(rel)) key += (key.empty() ? L"" : L"\\") + part;
  return made_.count(Key(std::move(key))) != 0;
}

bool FolderChain::Start(const std::wstring& top) {
  Reset();
  made_.clear();
  top_ = top;
  if (!MakeByPath(top_)) return false;
  return Reach(L"", false) != nullptr;
}

void FolderChain::Drop(Level& l) {
  if (l.handle) CloseHandle(l.handle);
  if (l.named && l.named != INVALID_HANDLE_VALUE) CloseHandle(l.named);
}

void FolderChain::Reset() {
  for (Level& l : levels_) Drop(l);
  levels_.clear();
  if (topHandle_) CloseHandle(topHandle_);
  topHandle_ = nullptr;
}

HANDLE FolderChain::MakeLevel(HANDLE parent, const std::wstring& part, bool* passing, bool* made) {
  *made = false;
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
        *passing = *made = true;
        return h;
      }
      CloseHandle(h);
    }
  }
  return OpenRelative(parent, part, kFolderAccess, FILE_ATTRIBUTE_NORMAL, kShareAll, FILE_OPEN_IF, kOptions, made);
}

HANDLE FolderChain::Reach(const std::wstring& rel, bool create) {
  if (!topHandle_) {
    const std::wstring top = top_.empty() ? L"." : top_;
    HANDLE h = OpenFolder(top);
    if (!h && create && MakeByPath(top_)) h = OpenFolder(top);
    if (!h) return nullptr;
    topHandle_ = h;
  }
  const std::vector<std::wstring> parts = PathParts(rel);
  // The levels both paths share stay open; below them the chain follows the new path.
  size_t same = 0;
  while (same < parts.size() && same < levels_.size() && parts[same] == levels_[same].part) ++same;
  while (levels_.size() > same) {
    Drop(levels_.back());
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
      if (HANDLE h = OpenFolder(prefix(there - 1))) {
        for (size_t i = same; i + 1 < there; ++i) levels_.push_back({parts[i], nullptr, false, nullptr});
        levels_.push_back({parts[there - 1], h, false, nullptr});
        same = there;
      }
    }
  }
  for (size_t i = same; i < parts.size(); ++i) {
    HANDLE parent = levels_.empty() ? topHandle_ : LevelHandle(levels_.size() - 1);
    if (!parent) return nullptr;
    bool passing = !levels_.empty() && levels_.back().passing, made = false;
    HANDLE h = create ? MakeLevel(parent, parts[i], &passing, &made)
                      : OpenRelative(parent, parts[i], kFolderAccess, 0, kShareAll, kOpen,
                                     FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT);
    if (!h) return nullptr;
    if (made) {
      std::wstring key;
      for (size_t k = 0; k <= i; ++k) key += (k ? L"\\" : L"") + parts[k];
      made_.insert(Key(std::move(key)));
    }
    levels_.push_back({parts[i], h, passing, nullptr});
  }
  return levels_.empty() ? topHandle_ : LevelHandle(levels_.size() - 1);
}

std::wstring FolderChain::LevelPath(size_t level) const {
  std::wstring path = top_.empty() ? L"." : top_;
  for (size_t i = 0; i <= level; ++i) {
    if (path.back() != L'\\') path += L'\\';
    path += levels_[i].part;
  }
  return path;
}

HANDLE FolderChain::LevelHandle(size_t level) {
  Level& l = levels_[level];
  if (!l.handle) l.handle = OpenFolder(LevelPath(level));
  return l.handle;
}

HANDLE FolderChain::MakeForFiles(const std::wstring& rel) {
  HANDLE h = Make(rel);
  if (!h || levels_.empty() || !levels_.back().passing) return h;
  Level& l = levels_.back();
  if (!l.named) {
    l.named = OpenFolder(LevelPath(levels_.size() - 1));
    if (!l.named) l.named = INVALID_HANDLE_VALUE;   // not tried again for the folder's next file
  }
  return l.named != INVALID_HANDLE_VALUE ? l.named : h;
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
  HANDLE h = OpenRelative(folder, parts[0], GENERIC_WRITE | DELETE | SYNCHRONIZE, FILE_ATTRIBUTE_NORMAL, 0, FILE_CREATE,
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
