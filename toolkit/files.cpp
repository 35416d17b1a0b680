#include "toolkit/files.h"

#include "toolkit/strings.h"

namespace tk {

namespace {
// Index of the last of the given delimiters, npos when none.
size_t LastDelimiter(std::string_view path, std::string_view delims) { return path.find_last_of(delims); }

bool AttributeData(std::string_view path, WIN32_FILE_ATTRIBUTE_DATA* data) {
  if (path.empty()) return false;
  QuietErrorMode quiet;
  return GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, data) != 0;
}
}  // namespace

std::string ExtractFilePath(std::string_view path) {
  size_t i = LastDelimiter(path, "\\:");
  return i == std::string_view::npos ? std::string() : std::string(path.substr(0, i + 1));
}

std::string ExtractFileName(std::string_view path) {
  size_t i = LastDelimiter(path, "\\:");
  return std::string(i == std::string_view::npos ? path : path.substr(i + 1));
}

std::string ExtractFileExt(std::string_view path) {
  size_t i = LastDelimiter(path, ".\\:");
  if (i == std::string_view::npos || path[i] != '.') return {};
  return std::string(path.substr(i));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  size_t i = LastDelimiter(path, ".\\:");
  if (i == std::string_view::npos || path[i] != '.') i = path.size();
  return std::string(path.substr(0, i)).append(ext);
}

std::string ExtractFileDrive(std::string_view path) {
  if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
  if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
    // \\server\share: up to (not with) the backslash after the share name.
    size_t server = path.find('\\', 2);
    if (server == std::string_view::npos) return std::string(path);
    size_t share = path.find('\\', server + 1);
    return std::string(share == std::string_view::npos ? path : path.substr(0, share));
  }
  return {};
}

std::string IncludeTrailingBackslash(std::string_view path) {
  std::string r(path);
  if (r.empty() || r.back() != '\\') r += '\\';
  return r;
}

std::string ExcludeTrailingBackslash(std::string_view path) {
  std::string r(path);
  if (!r.empty() && r.back() == '\\') r.pop_back();
  return r;
}

std::string ProgramFile() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return Narrow(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::string ProgramDir() { return ExtractFilePath(ProgramFile()); }

QuietErrorMode::QuietErrorMode() {
  previous_ = SetErrorMode(SEM_FAILCRITICALERRORS);
  SetErrorMode(previous_ | SEM_FAILCRITICALERRORS);
}

QuietErrorMode::~QuietErrorMode() { SetErrorMode(previous_); }

DWORD FileAttributes(std::string_view path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  QuietErrorMode quiet;
  return GetFileAttributesW(Widen(path).c_str());
}

bool FileExists(std::string_view path) {
  DWORD a = FileAttributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(std::string_view path) {
  DWORD a = FileAttributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(std::string_view path) {
  std::string dir = ExcludeTrailingBackslash(path);
  if (dir.empty()) return false;
  if (DirectoryExists(dir + "\\")) return true;
  // The drive ("C:") or share ("\\server\share") itself cannot be created.
  if (dir.size() <= ExtractFileDrive(dir).size()) return false;
  std::string parent = ExtractFilePath(dir);
  if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
  QuietErrorMode quiet;
  return CreateDirectoryW(Widen(dir).c_str(), nullptr) != 0 || DirectoryExists(dir);
}

bool RemoveFile(std::string_view path) {
  if (path.empty()) return false;
  QuietErrorMode quiet;
  return DeleteFileW(Widen(path).c_str()) != 0;
}

bool RenameFile(std::string_view oldName, std::string_view newName) {
  if (oldName.empty() || newName.empty()) return false;
  QuietErrorMode quiet;
  return MoveFileW(Widen(oldName).c_str(), Widen(newName).c_str()) != 0;
}

bool FileLastWrite(std::string_view path, FILETIME* utc) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!AttributeData(path, &data)) return false;
  *utc = data.ftLastWriteTime;
  return true;
}

TDateTime FileDateTime(std::string_view path) {
  FILETIME ft;
  TDateTime v;
  if (!FileLastWrite(path, &ft) || !FileTimeToDateTime(ft, &v)) return -1;
  return v;
}

int64_t FileAge(std::string_view path) {
  FILETIME ft;
  if (!FileLastWrite(path, &ft)) return -1;
  return FileTimeToDosTime(ft);
}

int64_t FileSize(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!AttributeData(path, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return -1;
  return static_cast<int64_t>(static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

std::vector<TSearchRec> FindFiles(std::string_view mask, DWORD attr) {
  std::vector<TSearchRec> found;
  if (mask.empty()) return found;
  const DWORD exclude = ~attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  QuietErrorMode quiet;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(mask).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return found;
  do {
    if (fd.dwFileAttributes & (exclude | faVolumeID)) continue;
    if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
    TSearchRec r;
    r.name = Narrow(fd.cFileName);
    r.attr = fd.dwFileAttributes;
    r.size = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                 ? 0
                 : static_cast<int64_t>(static_cast<uint64_t>(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow);
    r.lastWrite = fd.ftLastWriteTime;
    r.time = FileTimeToDosTime(fd.ftLastWriteTime);
    found.push_back(std::move(r));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return found;
}

namespace {
bool Glob(const wchar_t* n, const wchar_t* m) {
  // Iterative '*' matching with one back-tracking point.
  const wchar_t* starM = nullptr;
  const wchar_t* starN = nullptr;
  while (*n) {
    if (*m == L'*') {
      starM = ++m;
      starN = n;
    } else if (*m == L'?' || *m == *n) {
      ++m;
      ++n;
    } else if (starM) {
      m = starM;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (*m == L'*') ++m;
  return *m == 0;
}

}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  const std::wstring n = Widen(AnsiUpperCase(name)), m = Widen(AnsiUpperCase(mask));
  if (Glob(n.c_str(), m.c_str())) return true;
  const bool hasDot = n.find(L'.') != std::wstring::npos;
  if (m.size() >= 2 && m.compare(m.size() - 2, 2, L".*") == 0)
    return Glob(n.c_str(), m.substr(0, m.size() - 2).c_str());
  if (!m.empty() && m.back() == L'.' && !hasDot) return Glob(n.c_str(), m.substr(0, m.size() - 1).c_str());
  return false;
}

}  // namespace tk
