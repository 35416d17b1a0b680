// File selection for compression: the item list's specifications, recursion, the
// include, exclude, attribute, archive-bit and date filters, and the names in the zip.
//
// Masks of the include and exclude lists: a mask without '\' is matched against the file
// name alone; one with a drive or a share against the full path; any other mask with '\'
// against the path below the item's base folder when names are kept relative to it (a
// profile with a base folder stores its folders relative to it), else against the full
// path. All without regard to case, '*' any run of characters (across '\' too), '?' any
// one character, "*.*" everything. A '/' is taken as '\', as the system takes it.
//
// A mask that names a folder means what lies in it: a mask ending in '\' names a folder, and
// an include without wildcards names a file or a folder (never both at once); a name alone
// names a folder of the base folder when names are kept relative to it. An exclude names a
// folder only when it ends in '\' (any other exclude names files, so that a backup never
// leaves out more than the user named), and leaves out the folder and all below it: the walk
// does not go into it.
//
// A run that does not recurse lists the item's folder alone, and goes further down only
// where an include mask with a folder leads; there each part of such a mask matches one
// folder of the path ('*' stays within it), and a name alone matches the files of the item's
// folder: each mask selects the files at the depth it names.
#include <windows.h>

#include <algorithm>
#include <map>
#include <unordered_set>

#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "ziplib/archivebit.h"
#include "ziplib/folderchain.h"
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

namespace {

// The '\'-separated parts of a path or mask ("a\" gives "a" and "").
std::vector<std::string_view> Parts(std::string_view path) {
  std::vector<std::string_view> parts;
  for (size_t pos = 0;;) {
    const size_t slash = path.find('\\', pos);
    parts.push_back(path.substr(pos, slash == std::string_view::npos ? std::string_view::npos : slash - pos));
    if (slash == std::string_view::npos) return parts;
    pos = slash + 1;
  }
}

// The first `count` parts of the path match the mask's parts at the same places.
bool PartsMatch(const std::vector<std::string_view>& path, const std::vector<std::string_view>& mask, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (!tk::MatchesMask(path[i], mask[i])) return false;
  return true;
}

// The mask's parts lead through the folder (ending in '\') and on below it.
bool LeadsInto(const std::string& folder, const std::string& mask) {
  if (mask.empty()) return false;
  const auto f = Parts(std::string_view(folder).substr(0, folder.size() - 1)), m = Parts(mask);
  return m.size() > f.size() && PartsMatch(f, m, f.size());
}

}  // namespace

MaskList::MaskList(const std::string& list, bool relative, bool atDepth, bool plainNamesFolders)
    : atDepth_(atDepth) {
  for (std::string& given : SplitSpecList(list)) {
    Mask m;
    std::string text = given;
    std::replace(text.begin(), text.end(), '/', '\\');
    m.against = Against::Name;
    if (text.find('\\') != std::string::npos)
      m.against = relative && tk::ExtractFileDrive(text).empty() ? Against::Relative : Against::Full;
    m.folderAgainst = m.against == Against::Name ? Against::Relative : m.against;
    if (text.size() > 1 && text.back() == '\\') {
      m.folder = text + "*";
    } else {
      m.file = text;
      if (plainNamesFolders && text.find_first_of("*?") == std::string::npos &&
          (m.against != Against::Name || relative))
        m.folder = text + "\\*";
    }
    m.given = std::move(given);
    masks_.push_back(std::move(m));
  }
}

bool MaskList::Match(const std::string& subject, const std::string& mask) const {
  if (!atDepth_) return tk::MatchesMask(subject, mask);
  const auto s = Parts(subject), m = Parts(mask);
  return s.size() == m.size() && PartsMatch(s, m, s.size());
}

bool MaskList::Matches(const std::string& full, const std::string& rel) {
  const std::string name = tk::ExtractFileName(full);
  const bool inItemFolder = rel.find('\\') == std::string::npos;
  bool any = false;
  for (Mask& m : masks_) {
    if (any && m.met) continue;   // the answer is known; only masks not met yet are still tried
    bool hit = false;
    if (!m.file.empty())
      hit = m.against == Against::Name ? (!atDepth_ || inItemFolder) && tk::MatchesMask(name, m.file)
                                       : Match(m.against == Against::Full ? full : rel, m.file);
    if (!hit && !m.folder.empty()) hit = Match(m.folderAgainst == Against::Full ? full : rel, m.folder);
    if (hit) any = m.met = true;
  }
  return any;
}

bool MaskList::NamesFolder(const std::string& full, const std::string& rel) const {
  // Below a folder mask "x\*" a '*' crossing '\' takes everything, which a list matched at
  // depth does not.
  if (atDepth_) return false;
  for (const Mask& m : masks_)
    if (!m.folder.empty() && tk::MatchesMask(m.folderAgainst == Against::Full ? full : rel, m.folder)) return true;
  return false;
}

bool MaskList::MayHoldBelow(const std::string& full, const std::string& rel) const {
  for (const Mask& m : masks_) {
    if (m.against != Against::Name && LeadsInto(m.against == Against::Full ? full : rel, m.file)) return true;
    if (LeadsInto(m.folderAgainst == Against::Full ? full : rel, m.folder)) return true;
  }
  return false;
}

std::vector<std::string> MaskList::Unmet() const {
  std::vector<std::string> unmet;
  for (const Mask& m : masks_)
    if (!m.met) unmet.push_back(m.given);
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

uint64_t Ft(const FILETIME& f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; }

// The longest whole path a call can name (UTF-16 units, with the prefix the system puts
// before it): the files of a folder below it could not be opened, so it is left out.
constexpr size_t kLongestPath = 32767 - 4;

// One folder of the walk, held open while the walk is in it or below it: each folder is
// opened relative to its parent's handle, and its listing brings the times every zip
// entry needs, so no file or folder of the walk is asked about by its whole path.
struct Level {
  std::string rel;                   // below the base, ending in '\' ("" for the base)
  FolderEntry self;                  // the folder as its parent listed it (unused for the base)
  std::vector<FolderEntry> found;
  size_t next = 0;                   // the entry of `found` to look at next
  HANDLE handle = nullptr;
};

struct Selector {
  Selector(const DzipOptions& options, Reporter& reporter, const std::wstring& target)
      : o(options), rep(reporter), excludePath(target), includes(o.include, o.Sub(dz::ZSO_RELATIVEPATH), !o.recurse),
        excludes(o.exclude, o.Sub(dz::ZSO_RELATIVEPATH), false, false), nextBeat(GetTickCount64() + kBeatMs) {}

  const DzipOptions& o;
  Reporter& rep;
  std::wstring excludePath;
  MaskList includes, excludes;
  bool haveDate = false;
  uint64_t afterTime = 0;
  std::vector<SourceFile> out;
  std::unordered_set<std::string> names;             // upper-cased zip names taken
  std::string lastFolders;                           // the folders of the last name, all taken
  std::map<std::string, std::string> mangled;        // upper-cased path -> 8.3 path
  std::map<std::string, int> mangledSerial;          // upper-cased folder + base -> last serial
  bool met = false;                                  // the item's mask met a file (or an empty folder)
  bool everyName = false;                            // the item's mask is "*" or "*.*"
  std::string itemFolder;                            // the item's base folder, ending in '\'
  std::vector<Level> levels;                         // the walk's folders, from the base down
  uint64_t nextBeat;                                 // tick count of the next call back

  // A search that finds nothing calls back no file: the caller still hears from it every
  // beat (its window painted, its Cancel taken) and its answer can stop the walk.
  static constexpr uint64_t kBeatMs = 50;
  bool Stopped() {
    const uint64_t now = GetTickCount64();
    if (now < nextBeat) return rep.Cancelled();
    nextBeat = now + kBeatMs;
    return rep.Major(o.zipFile, 0);
  }

  std::string NameFor(const std::string& rel, const std::string& full) const {
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

  // The folder entries the zip has not got yet for the folders of zipName, each before
  // those below it. Folders of the walk take their times from its listings; only those
  // above the base (with full-path names) are asked about by their paths, once each.
  void AddDirsFor(const std::string& zipName, const std::string& nameRoot) {
    if (o.noDirNames || o.noDirEntries) return;
    // A file beside the last one names the same folders, all in the zip already.
    const size_t cut = zipName.rfind('/');
    const std::string_view folders(zipName.data(), cut == std::string::npos ? 0 : cut + 1);
    if (folders == lastFolders) return;
    lastFolders.assign(folders);
    // From the deepest up to the first one the zip has: those above it are there as well.
    std::vector<size_t> ends;
    for (size_t slash = zipName.rfind('/'); slash != std::string::npos && slash > 0;
         slash = zipName.rfind('/', slash - 1)) {
      if (!names.insert(tk::UpperCase(zipName.substr(0, slash + 1))).second) break;
      ends.push_back(slash + 1);
    }
    const size_t total = static_cast<size_t>(std::count(zipName.begin(), zipName.end(), '/'));
    const size_t walked = levels.size() - 1;
    const size_t above = total > walked ? total - walked : 0;   // folders of the name above the base
    for (size_t i = ends.size(); i-- > 0;) {
      const size_t k = total - i;   // the folder's place in the name, from 1
      SourceFile d;
      d.isDir = true;
      d.zipName = zipName.substr(0, ends[i]);
      if (k > above && k - above <= walked) {
        const Level& l = levels[k - above];
        d.path = tk::Widen(itemFolder + l.rel.substr(0, l.rel.size() - 1));
        d.attrs = l.self.attributes;
        d.mtime = l.self.lastWrite;
        d.atime = l.self.lastAccess;
        d.ctime = l.self.creation;
      } else {
        std::string rel = d.zipName.substr(0, d.zipName.size() - 1);
        std::replace(rel.begin(), rel.end(), '/', '\\');
        d.path = tk::Widen(nameRoot + rel);
        d.attrs = FILE_ATTRIBUTE_DIRECTORY;
        WIN32_FILE_ATTRIBUTE_DATA fa{};
        if (PathAttributeData(d.path, &fa)) {
          d.attrs = fa.dwFileAttributes;
          d.mtime = Ft(fa.ftLastWriteTime);
          d.atime = Ft(fa.ftLastAccessTime);
          d.ctime = Ft(fa.ftCreationTime);
        }
      }
      out.push_back(std::move(d));
    }
  }

  // A folder with nothing in it, met while recursing for every file, is kept as a folder
  // entry so that a restore brings it back; with an include list, when its masks select
  // the folder as they would a file of any name in it.
  void KeepEmptyFolder(const std::string& rel, const std::string& mask, const std::string& nameRoot) {
    if (!o.recurse || (mask != "*" && mask != "*.*")) return;
    const std::string full = itemFolder + rel;
    if (o.includeOnly && !includes.Empty() && !includes.Matches(full, rel)) return;
    if (o.excludeOn && excludes.Matches(full, rel)) return;
    const std::string name = Mangle(NameFor(rel.substr(0, rel.size() - 1), full.substr(0, full.size() - 1)));
    if (name.empty()) return;
    AddDirsFor(name + "/", nameRoot);
    met = true;
  }

  // Every file of the item's folder (and, recursing, of the folders below it) that its
  // mask and the filters select. No call of itself: the folders on the way down are held
  // in `levels`, so a tree thousands of folders deep costs no stack.
  void Walk(const std::string& folder, const std::string& mask, const std::string& nameRoot) {
    tk::QuietErrorMode quiet;
    itemFolder = folder;
    everyName = mask == "*" || mask == "*.*";   // matches any name: no need to ask for each file
    std::vector<FolderEntry> found;
    HANDLE top = OpenFolder(tk::Widen(folder));
    if (!top) return;   // nothing there: the item is named as one that matched nothing
    if (!ListFolder(top, found)) {
      CloseHandle(top);
      return;
    }
    levels.push_back({"", {}, std::move(found), 0, top});
    while (!levels.empty()) {
      if (Stopped()) {
        for (Level& open : levels) CloseHandle(open.handle);
        levels.clear();
        return;
      }
      Level& l = levels.back();
      if (l.next == l.found.size()) {
        CloseHandle(l.handle);
        levels.pop_back();
        continue;
      }
      const FolderEntry& f = l.found[l.next++];
      if (!o.includeSysHidden && (f.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) continue;
      if (!(f.attributes & FILE_ATTRIBUTE_DIRECTORY)) AddFile(l.rel, f, mask, nameRoot);
      else if (GoesInto(l.rel + tk::Narrow(f.name) + "\\")) Enter(f, mask, nameRoot);   // a copy: `levels` grows
    }
  }

  // Recursing, every folder but one an exclude names; else only where an include leads.
  bool GoesInto(const std::string& rel) const {
    if (!o.recurse && !o.includeOnly) return false;
    const std::string full = itemFolder + rel;
    if (o.excludeOn && excludes.NamesFolder(full, rel)) return false;
    return o.recurse || includes.MayHoldBelow(full, rel);
  }

  // Goes down into the folder f of the current one. A folder the system cannot open or
  // list, or whose path is longer than any call can name, is left out with a line.
  void Enter(FolderEntry f, const std::string& mask, const std::string& nameRoot) {
    const std::string rel = levels.back().rel + tk::Narrow(f.name) + "\\";
    if (tk::Widen(itemFolder + rel).size() > kLongestPath) {
      rep.Warning("Folder left out, its path is too long: " + itemFolder + rel);
      return;
    }
    std::vector<FolderEntry> found;
    HANDLE h = OpenSubfolder(levels.back().handle, f.name);
    if (!h || !ListFolder(h, found)) {
      if (h) CloseHandle(h);
      rep.Warning("Folder left out, it cannot be opened: " + itemFolder + rel);
      return;
    }
    levels.push_back({rel, std::move(f), std::move(found), 0, h});
    if (levels.back().found.empty()) KeepEmptyFolder(rel, mask, nameRoot);
  }

  void AddFile(const std::string& rel, const FolderEntry& f, const std::string& mask, const std::string& nameRoot) {
    const std::string name = tk::Narrow(f.name);
    if (!everyName && !tk::MatchesMask(name, mask)) return;
    met = true;
    const std::string relName = rel + name;
    const std::string full = itemFolder + relName;
    std::wstring wfull = tk::Widen(full);
    // (paths of different lengths never match: ordinal case folding maps unit to unit)
    if (wfull.size() == excludePath.size() &&
        CompareStringOrdinal(wfull.c_str(), -1, excludePath.c_str(), -1, TRUE) == CSTR_EQUAL)
      return;
    if (o.includeOnly && !includes.Empty() && !includes.Matches(full, relName)) return;
    if (o.excludeOn && excludes.Matches(full, relName)) return;
    if (haveDate && f.lastWrite < afterTime) return;
    if (o.Sub(dz::ZSO_JUST_ARCHIVED) && !HasArchiveBit(wfull, f.attributes)) return;
    std::string zipName = Mangle(NameFor(relName, full));
    if (!names.insert(tk::UpperCase(zipName)).second) {
      rep.Warning("Duplicate name in the zip, file not added: " + full);
      return;
    }
    AddDirsFor(zipName, nameRoot);   // folder names end in '/', so never the file's
    SourceFile s;
    s.path = std::move(wfull);
    s.zipName = std::move(zipName);
    s.size = f.size;
    s.attrs = f.attributes;
    s.mtime = f.lastWrite;
    s.atime = f.lastAccess;
    s.ctime = f.creation;
    out.push_back(std::move(s));
  }
};

std::string FullPath(const std::string& p) { return tk::Narrow(ziplib::FullPath(tk::Widen(p))); }

}  // namespace

std::vector<SourceFile> SelectFiles(const DzipOptions& o, Reporter& rep, const std::wstring& excludePath,
                                    std::string* unmatched) {
  Selector s(o, rep, excludePath);
  if (o.afterDate && !o.date.empty()) {
    s.haveDate = ParseAfterDate(o.date, &s.afterTime);
    if (!s.haveDate) rep.Warning("After-date \"" + o.date + "\" is not a date in the form mmddyy; ignored");
  }
  std::vector<std::string> unmet;   // item and include masks that selected nothing
  for (const std::string& given : SplitSpecList(o.itemList)) {
    std::string spec = given;
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
    s.Walk(base, mask, nameRoot);
    if (rep.Cancelled()) return {};
    if (!s.met) unmet.push_back(given);
  }
  // A mistyped folder or name selects nothing; the run goes on, but the user is told.
  if (o.includeOnly)
    for (std::string& mask : s.includes.Unmet()) unmet.push_back(std::move(mask));
  for (const std::string& spec : unmet) rep.Warning("No file matched \"" + spec + "\"");
  if (unmatched) {
    // The user's specs: under a base folder the include list, not the item of the base.
    if (unmet.empty()) unmet = SplitSpecList(o.includeOnly && !s.includes.Empty() ? o.include : o.itemList);
    unmatched->clear();
    for (const std::string& spec : unmet) *unmatched += (unmatched->empty() ? "\"" : ", \"") + spec + "\"";
  }
  return std::move(s.out);
}

}  // namespace ziplib
