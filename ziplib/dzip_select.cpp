// File selection for compression: the item list's specifications, recursion, the
// include, exclude, attribute, archive-bit and date filters, and the names in the zip.
//
// Masks of the include and exclude lists: a mask without '\' is matched against the file
// name alone; one with a drive or a share against the full path; any other mask with '\'
// against the path below the item's base folder when names are kept relative to it (a
// profile with a base folder stores its folders relative to it), else against the full
// path. All without regard to case, '*' any run of characters (across '\' too), '?' any
// one character, "*.*" everything.
#include <windows.h>

#include <algorithm>
#include <map>
#include <set>

#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "ziplib/archivebit.h"
#include "ziplib/zipwriter.h"

namespace ziplib {

std::vector<std::string> SplitSpecList(const std::string& list) {
  std::vector<std::string> out;
  std::string cur;
  bool inQuotes = false, any = false;
  for (char c : list) {
    if (c == '"') {
      inQuotes = !inQuotes;
      any = true;
    } else if (!inQuotes && static_cast<unsigned char>(c) <= ' ') {
      if (!cur.empty()) out.push_back(cur);
      cur.clear();
      any = false;
    } else {
      cur.push_back(c);
      any = true;
    }
  }
  if (any && !cur.empty()) out.push_back(cur);
  return out;
}

MaskList::MaskList(const std::string& list, bool relative) {
  for (std::string& text : SplitSpecList(list)) {
    Against against = Against::Name;
    if (text.find('\\') != std::string::npos)
      against = relative && tk::ExtractFileDrive(text).empty() ? Against::Relative : Against::Full;
    masks_.push_back({std::move(text), against});
  }
}

bool MaskList::Matches(const std::string& full, const std::string& rel) {
  const std::string name = tk::ExtractFileName(full);
  bool any = false;
  for (Mask& m : masks_) {
    if (any && m.met) continue;   // the answer is known; only masks not met yet are still tried
    const std::string& subject = m.against == Against::Name ? name : m.against == Against::Full ? full : rel;
    if (tk::MatchesMask(subject, m.text)) any = m.met = true;
  }
  return any;
}

std::vector<std::string> MaskList::Unmet() const {
  std::vector<std::string> unmet;
  for (const Mask& m : masks_)
    if (!m.met) unmet.push_back(m.text);
  return unmet;
}

bool ParseAfterDate(const std::string& mmddyy, uint64_t* fileTimeUtc) {
  if (mmddyy.size() != 6 || !std::all_of(mmddyy.begin(), mmddyy.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const int month = std::stoi(mmddyy.substr(0, 2)), day = std::stoi(mmddyy.substr(2, 2));
  int year = std::stoi(mmddyy.substr(4, 2));
  year += year < 80 ? 2000 : 1900;
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  FILETIME local{}, utc{};
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return false;
  *fileTimeUtc = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
  return true;
}

namespace {

bool Valid83Char(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u < 0x20 || u >= 0x80) return false;
  return std::string_view(" .\"*+,/:;<=>?[\\]|").find(c) == std::string_view::npos;
}

bool IsValid83(const std::string& name) {
  if (name == "." || name == "..") return true;
  const size_t dot = name.find('.');
  const std::string base = name.substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) return false;
  for (char c : base + ext)
    if (!Valid83Char(c) || (c >= 'a' && c <= 'z')) return false;
  return dot == std::string::npos || !ext.empty();
}

std::string Clean83(const std::string& s, size_t max) {
  std::string out;
  for (char c : s) {
    if (c == ' ' || c == '.') continue;
    out.push_back(Valid83Char(c) ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : '_');
    if (out.size() == max) break;
  }
  return out;
}

uint64_t Ft(const FILETIME& f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

// One entry of a folder as its listing gives it: every time a zip entry needs comes with
// the listing, so no file is asked about on its own.
struct Found {
  std::string name;
  DWORD attr = 0;
  uint64_t size = 0;
  FILETIME lastWrite{}, lastAccess{}, creation{};
};

// The entries of one folder (without "." and ".." and volume labels), in the order the
// file system gives them. Short names are not asked for: the zip never uses them.
std::vector<Found> ListFolder(const std::string& folder) {
  std::vector<Found> found;
  tk::QuietErrorMode quiet;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileExW(tk::Widen(folder + "*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                              FIND_FIRST_EX_LARGE_FETCH);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (fd.dwFileAttributes & tk::faVolumeID) continue;
      if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
      Found f;
      f.name = tk::Narrow(fd.cFileName);
      f.attr = fd.dwFileAttributes;
      if (!(f.attr & FILE_ATTRIBUTE_DIRECTORY)) f.size = static_cast<uint64_t>(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow;
      f.lastWrite = fd.ftLastWriteTime;
      f.lastAccess = fd.ftLastAccessTime;
      f.creation = fd.ftCreationTime;
      found.push_back(std::move(f));
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  return found;
}

}  // namespace

std::string MangleComponent(const std::string& name, int serial) {
  if (serial == 0 && IsValid83(name)) return name;
  const size_t dot = name.rfind('.');
  std::string base = Clean83(dot == std::string::npos || dot == 0 ? name : name.substr(0, dot), 8);
  const std::string ext = dot == std::string::npos || dot == 0 ? "" : Clean83(name.substr(dot + 1), 3);
  const std::string tail = "~" + std::to_string(serial < 1 ? 1 : serial);
  if (base.empty()) base = "_";
  base = base.substr(0, 8 - std::min<size_t>(tail.size(), 7)) + tail;
  return ext.empty() ? base : base + "." + ext;
}

bool HasStoreSuffix(const std::string& name, const std::vector<std::string>& suffixes) {
  for (const auto& s : suffixes)
    if (!s.empty() && tk::EndsText(s, name)) return true;
  return false;
}

namespace {

struct Selector {
  Selector(const DzipOptions& options, Reporter& reporter, const std::wstring& target)
      : o(options), rep(reporter), excludePath(target), includes(o.include, o.Sub(dz::ZSO_RELATIVEPATH)),
        excludes(o.exclude, o.Sub(dz::ZSO_RELATIVEPATH)) {}

  const DzipOptions& o;
  Reporter& rep;
  std::wstring excludePath;
  MaskList includes, excludes;
  bool haveDate = false;
  uint64_t afterTime = 0;
  std::vector<SourceFile> out;
  std::set<std::string> names;                       // upper-cased zip names taken
  std::map<std::string, std::string> mangled;        // upper-cased path -> 8.3 path
  std::map<std::string, int> mangledSerial;          // upper-cased folder + base -> last serial
  std::set<std::string> dirsAdded;
  bool met = false;                                  // the item's mask met a file (or an empty folder)

  std::string NameFor(const std::string& base, const std::string& rel, const std::string& full) const {
    std::string n;
    if (o.noDirNames) {
      n = tk::ExtractFileName(full);
    } else if (o.Sub(dz::ZSO_RELATIVEPATH)) {
      n = rel;
    } else {
      // Full path without its drive or \\server\share part.
      const std::string drive = tk::ExtractFileDrive(full);
      n = full.substr(drive.size());
      while (!n.empty() && n[0] == '\\') n.erase(0, 1);
    }
    (void)base;
    std::replace(n.begin(), n.end(), '\\', '/');
    return n;
  }

  std::string Mangle(const std::string& name) {
    if (!o.Sub(dz::ZSO_MANGLELONGNAMES)) return name;
    std::string out, parent;
    size_t pos = 0;
    while (pos < name.size()) {
      size_t slash = name.find('/', pos);
      const bool last = slash == std::string::npos;
      const std::string comp = name.substr(pos, last ? std::string::npos : slash - pos);
      const std::string key = tk::UpperCase(parent + comp);
      auto it = mangled.find(key);
      std::string m;
      if (it != mangled.end()) {
        m = it->second;
      } else if (IsValid83(comp)) {
        m = comp;
      } else {
        const std::string stem = tk::UpperCase(out) + MangleComponent(comp, 1).substr(0, 6);
        m = MangleComponent(comp, ++mangledSerial[stem]);
      }
      mangled[key] = m;
      out += m;
      parent += comp;
      if (!last) {
        out += '/';
        parent += '/';
      }
      pos = last ? name.size() : slash + 1;
    }
    return out;
  }

  void AddDirsFor(const std::string& zipName, const std::string& baseFull) {
    if (o.noDirNames || o.noDirEntries) return;
    size_t slash = zipName.find('/');
    while (slash != std::string::npos) {
      const std::string dir = zipName.substr(0, slash + 1);
      const std::string key = tk::UpperCase(dir);
      if (!dirsAdded.count(key) && !names.count(key)) {
        dirsAdded.insert(key);
        names.insert(key);
        SourceFile d;
        d.isDir = true;
        d.zipName = dir;
        // The folder on disk that this entry stands for, for its times.
        std::string rel = dir.substr(0, dir.size() - 1);
        std::replace(rel.begin(), rel.end(), '/', '\\');
        d.path = tk::Widen(baseFull + rel);
        d.attrs = FILE_ATTRIBUTE_DIRECTORY;
        WIN32_FILE_ATTRIBUTE_DATA fa{};
        if (GetFileAttributesExW(d.path.c_str(), GetFileExInfoStandard, &fa)) {
          d.attrs = fa.dwFileAttributes;
          d.mtime = Ft(fa.ftLastWriteTime);
          d.atime = Ft(fa.ftLastAccessTime);
          d.ctime = Ft(fa.ftCreationTime);
        }
        out.push_back(std::move(d));
      }
      slash = zipName.find('/', slash + 1);
    }
  }

  // A folder with nothing in it, met while recursing for every file, is kept as a folder
  // entry so that a restore brings it back; with an include list, when its masks select
  // the folder as they would a file of any name in it.
  void KeepEmptyFolder(const std::string& base, const std::string& rel, const std::string& mask,
                       const std::string& nameRoot) {
    if (!o.recurse || (mask != "*" && mask != "*.*")) return;
    const std::string full = base + rel;
    if (o.includeOnly && !includes.Empty() && !includes.Matches(full, rel)) return;
    if (o.excludeOn && excludes.Matches(full, rel)) return;
    const std::string name = Mangle(NameFor(base, rel.substr(0, rel.size() - 1), full.substr(0, full.size() - 1)));
    if (name.empty()) return;
    AddDirsFor(name + "/", nameRoot);
    met = true;
  }

  // rootForNames: the folder the zip names of dir entries are relative to.
  void Walk(const std::string& base, const std::string& rel, const std::string& mask, const std::string& nameRoot) {
    const std::string folder = base + rel;
    const std::vector<Found> found = ListFolder(folder);
    if (found.empty() && !rel.empty()) KeepEmptyFolder(base, rel, mask, nameRoot);
    for (const Found& f : found) {
      const bool isDir = (f.attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (!o.includeSysHidden && (f.attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) continue;
      if (isDir) {
        if (o.recurse) Walk(base, rel + f.name + "\\", mask, nameRoot);
        continue;
      }
      if (!tk::MatchesMask(f.name, mask)) continue;
      met = true;
      const std::string full = folder + f.name;
      const std::wstring wfull = tk::Widen(full);
      if (!excludePath.empty() && CompareStringOrdinal(wfull.c_str(), -1, excludePath.c_str(), -1, TRUE) == CSTR_EQUAL)
        continue;
      const std::string relName = rel + f.name;
      if (o.includeOnly && !includes.Empty() && !includes.Matches(full, relName)) continue;
      if (o.excludeOn && excludes.Matches(full, relName)) continue;
      if (haveDate && Ft(f.lastWrite) < afterTime) continue;
      if (o.Sub(dz::ZSO_JUST_ARCHIVED) && !HasArchiveBit(wfull, f.attr)) continue;
      std::string zipName = Mangle(NameFor(base, relName, full));
      const std::string key = tk::UpperCase(zipName);
      if (names.count(key)) {
        rep.Warning("Duplicate name in the zip, file not added: " + full);
        continue;
      }
      AddDirsFor(zipName, nameRoot);
      names.insert(key);
      SourceFile s;
      s.path = wfull;
      s.zipName = std::move(zipName);
      s.size = f.size;
      s.attrs = f.attr;
      s.mtime = Ft(f.lastWrite);
      s.atime = Ft(f.lastAccess);
      s.ctime = Ft(f.creation);
      out.push_back(std::move(s));
    }
  }
};

std::string FullPath(const std::string& p) {
  const std::wstring w = tk::Widen(p);
  wchar_t buf[32768];
  const DWORD n = GetFullPathNameW(w.c_str(), 32768, buf, nullptr);
  if (n == 0 || n >= 32768) return p;
  return tk::Narrow(std::wstring(buf, n));
}

}  // namespace

std::vector<SourceFile> SelectFiles(const DzipOptions& o, Reporter& rep, const std::wstring& excludePath) {
  Selector s(o, rep, excludePath);
  if (o.afterDate && !o.date.empty()) {
    s.haveDate = ParseAfterDate(o.date, &s.afterTime);
    if (!s.haveDate) rep.Warning("After-date \"" + o.date + "\" is not a date in the form mmddyy; ignored");
  }
  std::vector<std::string> unmet;   // item and include masks that selected nothing
  for (std::string spec : SplitSpecList(o.itemList)) {
    std::replace(spec.begin(), spec.end(), '/', '\\');
    std::string base, mask;
    if (tk::DirectoryExists(spec) && spec.find_first_of("*?") == std::string::npos) {
      base = tk::IncludeTrailingBackslash(FullPath(spec));
      mask = "*.*";
    } else {
      base = tk::ExtractFilePath(spec);
      mask = tk::ExtractFileName(spec);
      base = base.empty() ? tk::IncludeTrailingBackslash(FullPath(".")) : tk::IncludeTrailingBackslash(FullPath(base));
      if (mask.empty()) mask = "*.*";
    }
    // Folder entries take their names the way files do: relative to the base, or the
    // full path without the drive.
    std::string nameRoot = base;
    if (!o.Sub(dz::ZSO_RELATIVEPATH)) {
      const std::string drive = tk::ExtractFileDrive(base);
      nameRoot = drive + "\\";
    }
    s.met = false;
    s.Walk(base, "", mask, nameRoot);
    if (!s.met) unmet.push_back(spec);
  }
  // A mistyped folder or name selects nothing; the run goes on, but the user is told.
  if (o.includeOnly)
    for (std::string& mask : s.includes.Unmet()) unmet.push_back(std::move(mask));
  for (const std::string& spec : unmet) rep.Warning("No file matched \"" + spec + "\"");
  return std::move(s.out);
}

}  // namespace ziplib
