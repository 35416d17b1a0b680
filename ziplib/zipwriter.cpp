// One compression command: add (4), update (3), freshen (1).
//
// A good zip is never destroyed: the new zip is written to a temporary file (in the
// temporary folder when the record names one, else beside the target) and replaces the
// target (or the zip the caller names for it, query 704) only when it was written and
// closed successfully. A cancel or a failure removes
// the temporary file and leaves the old zip byte for byte as it was. Sources are deleted
// (DeleteOriginalFlag) and archive bits cleared (ZSO_RESET_ARCHIVED) only after that, and
// only for the files whose data went into the zip in this run.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/tempfile.h"
#include "ziplib/archivebit.h"
#include "ziplib/fileio.h"
#include "ziplib/zipformat.h"
#include "ziplib/zipread.h"
#include "ziplib/zipwriter.h"

namespace ziplib {
namespace {

constexpr uint64_t kTwoSeconds = 20000000ull;   // in FILETIME units
constexpr const char* kTempPrefix = "qbz";      // the new zip while it is written

std::wstring FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
}

// The entry's time of last change as FILETIME (NTFS field when present, else DOS time).
uint64_t EntryTime(const ZipEntry& e) {
  if (e.hasNtfsTimes && e.mtime != 0) return e.mtime;
  return DosToFileTime(static_cast<uint32_t>(e.dosDate) << 16 | e.dosTime);
}

// The source file is newer than the entry: than its NTFS time, which holds the file's own;
// past the 2-second step of a DOS time, the only one older zips may hold. A change made
// within two seconds of the one zipped is a change all the same.
bool IsNewer(uint64_t fileTime, const ZipEntry& e) {
  if (e.hasNtfsTimes && e.mtime != 0) return fileTime > e.mtime;
  return fileTime > EntryTime(e) + kTwoSeconds;
}

// Copies the local records (header, data, data descriptor) of the old entries that stay,
// unchanged. The old zip is read in large blocks into one buffer, reused for the whole zip:
// each entry's local header is checked in the block that holds it, and records that follow
// each other are gathered into one run and written from there. An update that keeps most
// of the entries costs a few large reads and writes, and no call at all per entry.
class RawCopier {
 public:
  RawCopier(const ZipReader& zip, OutFile& out) : zip_(zip), out_(out) {}

  // Adds an entry to the copy and fills its central header with the new offset. False when
  // its local record cannot be located or the run before it could not be copied (RunFailed).
  bool Add(const ZipEntry& e, EntryHeader* central) {
    const uint64_t at = e.localHeaderOffset;
    // The header with its name and, mostly, its extra field (as LocateData would read it);
    // the run before it goes out first, as a new block takes the place of the one it is in.
    const size_t want = kLocalHeaderGuess + e.rawName.size();
    if (Held(at) < want) {
      if (!Flush()) return false;
      if (Held(at) < want) Load(at);   // when that fails, LocateData reads the header itself
    }
    ZipLocalInfo li;
    if (zip_.LocateData(e, &li, Block(at), Held(at)) != ZipReadStatus::Ok) return false;
    uint64_t len = li.headerSize + e.compressedSize;
    if (e.HasDataDescriptor()) {
      uint8_t sig[4] = {};
      const bool big = e.compressedSize >= kZip64Marker32 || e.uncompressedSize >= kZip64Marker32;
      uint64_t dd = big ? 20 : 12;
      const uint64_t after = li.dataOffset + e.compressedSize;
      if (Held(after) >= 4) std::memcpy(sig, Block(after), 4);
      else zip_.ReadAt(after, sig, 4);
      if (Get32(sig) == kSigDataDescriptor) dd += 4;
      len += dd;
    }
    if (li.headerOffset != runStart_ + runLen_ && !Flush()) return false;
    if (runLen_ == 0) runStart_ = li.headerOffset;
    central->localHeaderOffset = out_.Pos() + runLen_;
    runLen_ += len;
    central->versionMadeBy = e.versionMadeBy;
    central->versionNeeded = e.versionNeeded;
    central->flags = e.flags;
    central->method = e.method;
    central->dosDateTime = static_cast<uint32_t>(e.dosDate) << 16 | e.dosTime;
    central->crc = e.crc;
    central->compressedSize = e.compressedSize;
    central->uncompressedSize = e.uncompressedSize;
    central->internalAttr = e.internalAttr;
    central->externalAttr = e.externalAttr;
    central->name = e.rawName;
    central->extra = StripExtraBlock(e.extra, kExtraZip64);
    central->comment = e.comment;
    return true;
  }

  // Copies the run gathered so far, from the block and the blocks after it; false on a
  // read or write failure.
  bool Flush() {
    if (runFailed_) return false;
    while (runLen_ > 0) {
      if (Held(runStart_) == 0 && !Load(runStart_)) return !(runFailed_ = true);
      const size_t n = static_cast<size_t>(std::min<uint64_t>(runLen_, Held(runStart_)));
      if (!out_.Write(Block(runStart_), n)) return !(runFailed_ = true);
      runStart_ += n;
      runLen_ -= n;
    }
    return true;
  }
  bool RunFailed() const { return runFailed_; }

 private:
  static constexpr size_t kBuffer = 4u << 20;
  static constexpr size_t kFirstBlock = 16u << 10;
  static constexpr size_t kLocalHeaderGuess = 30 + 64;   // the fixed part and room for an extra field

  // How many bytes of the old zip from offset on the block holds, and where.
  size_t Held(uint64_t offset) const {
    if (offset < blockStart_ || offset - blockStart_ >= blockLen_) return 0;
    return static_cast<size_t>(blockLen_ - (offset - blockStart_));
  }
  const uint8_t* Block(uint64_t offset) const { return Held(offset) ? buf_.get() + (offset - blockStart_) : nullptr; }
  // A block from offset on. Blocks that follow each other grow to the buffer's size; one
  // elsewhere (a zip whose directory lists the entries out of their order) starts small
  // again, so such a zip costs a small read per entry, as before, not a large one.
  bool Load(uint64_t offset) {
    const bool onward = offset >= blockStart_ && offset <= blockStart_ + blockLen_ && blockLen_ > 0;
    blockSize_ = onward ? std::min(kBuffer, blockSize_ * 2) : kFirstBlock;
    if (!buf_) buf_.reset(new uint8_t[kBuffer]);   // filled by each read, never cleared
    const uint64_t size = zip_.Info().fileSize;
    blockStart_ = offset;
    blockLen_ = offset < size ? static_cast<size_t>(std::min<uint64_t>(blockSize_, size - offset)) : 0;
    if (blockLen_ > 0 && zip_.ReadAt(offset, buf_.get(), blockLen_)) return true;
    blockLen_ = 0;
    return false;
  }

  const ZipReader& zip_;
  OutFile& out_;
  std::unique_ptr<uint8_t[]> buf_;
  uint64_t blockStart_ = 0;
  size_t blockLen_ = 0, blockSize_ = kFirstBlock;
  uint64_t runStart_ = 0, runLen_ = 0;
  bool runFailed_ = false;
};

// Moves the finished temporary file over the target. Across volumes the file is first
// copied beside the target, so the old zip is replaced only by a complete copy; a copy that
// fails leaves the system's code of its failure in *copyError (a full disk: no room there).
bool ReplaceTarget(tk::TempFile& temp, const std::wstring& target, unsigned long* copyError) {
  const std::string to = tk::Narrow(target);
  if (temp.Commit(to)) return true;
  tk::TempFile beside;
  if (!beside.Create(tk::Narrow(FolderOf(target)), kTempPrefix)) return false;
  if (!temp.CopyTo(beside)) {
    *copyError = File::LastError();
    return false;
  }
  return beside.Commit(to);
}

std::vector<std::string> SuffixList(const DzipOptions& o) {
  std::vector<std::string> out;
  if (!o.storeSuffixesOn) return out;
  size_t pos = 0;
  const std::string& s = o.storeSuffixes;
  while (pos <= s.size()) {
    size_t c = s.find(':', pos);
    if (c == std::string::npos) c = s.size();
    std::string item = tk::Trim(std::string_view(s).substr(pos, c - pos));
    if (!item.empty()) out.push_back(item);
    pos = c + 1;
  }
  return out;
}

class Run {
 public:
  Run(const DzipOptions& o, Reporter& rep) : o_(o), rep_(rep) {}

  int Execute() {
    const auto start = std::chrono::steady_clock::now();
    log_.Open(rep_, o_);
    const int rc = Body();
    if (rc != dz::ZE_OK && rc != dz::ZE_ABORT) log_.Line("Error " + std::to_string(rc));
    if (rc == dz::ZE_ABORT) log_.Line("Cancelled: the zip was left as it was");
    for (const auto& e : results_) log_.Entry(e);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    log_.Summary(rc, results_, secs);
    log_.Write();
    return rc;
  }

 private:
  int Fail(int code, const std::string& text) {
    rep_.Error(code, text);
    log_.Line(text);
    return code;
  }

  int Body() {
    if (o_.function != dz::ZIP_ADD && o_.function != dz::ZIP_UPDATE && o_.function != dz::ZIP_FRESHEN)
      return Fail(dz::ZE_PARMS, "Unknown function code " + std::to_string(o_.function));
    if (o_.mv & dz::MV_USEMULTI)
      return Fail(dz::ZE_MVPARMS, "Splitting into volumes is not available in this version of the library");
    // Never an unencrypted zip when one was asked for with a password.
    if (o_.encrypt && o_.password.empty())
      return Fail(dz::ZE_PARMS, "Encryption was asked for without a password; no zip was written");
    if (o_.zipFile.empty()) return Fail(dz::ZE_NAME, "No zip file name given");
    if (o_.addComment && o_.comment.size() > 0xFFFF)
      return Fail(dz::ZE_NOTE, "The comment is longer than 65535 bytes");

    target_ = FullPath(tk::Widen(o_.zipFile));
    const bool exists = tk::FileExists(tk::Narrow(target_));
    ZipReader old;
    if (exists) {
      const ZipReadStatus st = old.Open(tk::Narrow(target_));
      if (st == ZipReadStatus::OpenFailed) {
        rep_.FileError(dz::DZ_MSG_OPEN_ERROR, "Cannot open the zip file: " + o_.zipFile);
        return Fail(dz::ZE_OPEN, "Cannot open the zip file " + o_.zipFile);
      }
      if (st != ZipReadStatus::Ok) {
        rep_.FileError(dz::DZ_MSG_READ_ERROR, "Cannot read the zip file: " + o_.zipFile);
        return Fail(st == ZipReadStatus::Truncated ? dz::ZE_EOF : dz::ZE_FORMAT,
                    "The existing file is not a readable zip and was left as it is: " + o_.zipFile);
      }
    } else if (o_.function == dz::ZIP_FRESHEN) {
      return Fail(dz::ZE_NAME, "Nothing to freshen: the zip does not exist: " + o_.zipFile);
    }

    if (rep_.Major(o_.zipFile, 0)) return dz::ZE_ABORT;
    std::string unmatched;   // the specs a run without anything to do names
    std::vector<SourceFile> files = SelectFiles(o_, rep_, target_, &unmatched);
    if (rep_.Cancelled()) return dz::ZE_ABORT;
    if (files.empty()) return Fail(dz::ZE_NONE, "Nothing to do: no file matched " + unmatched);

    // Plan: which old entries stay, which files go in.
    const std::vector<ZipEntry> noEntries;
    const std::vector<ZipEntry>& entries = exists ? old.Entries() : noEntries;
    std::unordered_map<std::string, size_t> byName;
    byName.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) byName.emplace(tk::UpperCase(entries[i].name), i);
    std::vector<bool> replaced(entries.size(), false);
    const std::vector<std::string> suffixes = SuffixList(o_);
    std::vector<NewItem> items;
    std::vector<size_t> replacing;   // per item: the old entry it replaces, or entries.size()
    uint64_t totalBytes = 0;
    for (const SourceFile& f : files) {
      auto it = byName.find(tk::UpperCase(f.zipName));
      NewItem n;
      n.src = &f;
      n.store = !f.isDir && HasStoreSuffix(f.zipName, suffixes);
      if (it != byName.end()) {
        const ZipEntry& e = entries[it->second];
        if (f.isDir) continue;   // a folder entry that exists stays
        if (o_.function != dz::ZIP_ADD && !IsNewer(f.mtime, e)) continue;
        replaced[it->second] = true;
        n.action = EntryAction::Replaced;
      } else {
        if (o_.function == dz::ZIP_FRESHEN) continue;
        n.action = EntryAction::Added;
      }
      totalBytes += f.size;
      items.push_back(n);
      replacing.push_back(it != byName.end() ? it->second : entries.size());
    }
    // Folder entries alone do not make a change.
    const bool anyFile = std::any_of(items.begin(), items.end(), [](const NewItem& n) { return !n.src->isDir; });
    std::string newComment = exists ? old.Info().comment : std::string();
    if (o_.addComment) newComment = o_.comment;
    const bool commentChanged = exists && newComment != old.Info().comment;
    if (exists && !anyFile && !commentChanged) {
      log_.Line("Nothing changed: the zip was left as it was");
      return dz::ZE_OK;
    }
    if (!exists && !anyFile) return Fail(dz::ZE_NONE, "Nothing to do: no file matched " + unmatched);

    // Write the new zip to a temporary file.
    std::wstring tempFolder = FolderOf(target_);
    if (o_.pathForTemp && !o_.tempPath.empty()) tempFolder = tk::Widen(tk::IncludeTrailingBackslash(o_.tempPath));
    // Held open and marked for deletion until it takes the target's place: a killed run
    // leaves nothing behind.
    tk::TempFile temp;
    if (!temp.Create(tk::Narrow(tempFolder), kTempPrefix))
      return Fail(dz::ZE_TEMP, "Cannot create a temporary file in " + tk::Narrow(tempFolder));
    OutFile out;
    if (!out.Adopt(temp.Duplicate())) return Fail(dz::ZE_TEMP, "Cannot write the temporary file " + temp.Path());

    std::vector<EntryHeader> central;
    central.reserve(entries.size() + items.size());
    // The entries kept matter only to the log.
    const bool listKept = log_.Active();
    results_.reserve((listKept ? entries.size() : 0) + items.size());
    uint64_t newest = 0;
    const auto copyFailed = [&](const std::string& name) {
      if (out.Failed()) {
        rep_.FileError(dz::DZ_MSG_WRITE_ERROR, "Write failure: " + o_.zipFile, out.Error());
        return Fail(dz::ZE_WRITE, "Cannot write the temporary file " + temp.Path());
      }
      rep_.FileError(dz::DZ_MSG_READ_ERROR, "Cannot read the zip file: " + o_.zipFile);
      return Fail(dz::ZE_FORMAT, name.empty() ? "The existing zip cannot be read"
                                              : "Entry " + name + " of the existing zip cannot be read");
    };
    // Copies the old entries `keep` marks, in their order; 0 or the result code.
    size_t keptCount = 0;
    const auto copyKept = [&](const std::vector<bool>& keep) {
      RawCopier copier(old, out);
      for (size_t i = 0; i < entries.size(); ++i) {
        if (!keep[i]) continue;
        EntryHeader h;
        if (!copier.Add(entries[i], &h)) return copyFailed(copier.RunFailed() ? std::string() : entries[i].name);
        central.push_back(std::move(h));
        ++keptCount;
        newest = std::max(newest, EntryTime(entries[i]));
        if (listKept && !entries[i].IsDirectory()) {
          EntryResult r;
          r.zipName = entries[i].name;
          r.action = EntryAction::Kept;
          r.size = entries[i].uncompressedSize;
          r.compressed = entries[i].compressedSize;
          results_.push_back(std::move(r));
        }
      }
      return copier.Flush() ? int(dz::ZE_OK) : copyFailed("");
    };
    std::vector<bool> keep(replaced.size());
    std::transform(replaced.begin(), replaced.end(), keep.begin(), [](bool r) { return !r; });
    if (const int rc = copyKept(keep); rc != dz::ZE_OK) return rc;
    if (rep_.Major(o_.zipFile, 0)) return dz::ZE_ABORT;

    ProgressTotals progress;
    progress.majorItem = o_.zipFile;
    progress.totalBytes = totalBytes;
    const size_t resultsBefore = results_.size();
    const int rc = CompressItems(items, o_, out, rep_, progress, central, results_);
    if (rc != dz::ZE_OK) return rc;
    for (const auto& it : items) newest = std::max(newest, it.src->mtime);
    // A file skipped in this run (locked, gone) leaves its older entry in the zip.
    std::unordered_map<std::wstring, size_t> itemOf;
    for (size_t k = 0; k < items.size(); ++k)
      if (replacing[k] < entries.size()) itemOf.emplace(items[k].src->path, replacing[k]);
    std::fill(keep.begin(), keep.end(), false);
    size_t replacedCount = 0;
    for (size_t k = resultsBefore; k < results_.size(); ++k) {
      const EntryResult& r = results_[k];
      if (r.action == EntryAction::Replaced) ++replacedCount;
      const auto at = itemOf.find(r.sourcePath);
      if (r.action == EntryAction::Skipped && at != itemOf.end()) keep[at->second] = true;
    }
    if (std::find(keep.begin(), keep.end(), true) != keep.end())
      if (const int kc = copyKept(keep); kc != dz::ZE_OK) return kc;
    // Every entry of the old zip is in the new one, as it was or in its new version.
    if (keptCount + replacedCount != entries.size())
      return Fail(dz::ZE_LOGIC, "The new zip would hold " + std::to_string(keptCount + replacedCount) + " of the " +
                                    std::to_string(entries.size()) + " entries of " + o_.zipFile +
                                    "; it was not written and the zip was left as it was");

    // Central directory and end records.
    const uint64_t cdStart = out.Pos();
    for (const auto& h : central) {
      const std::string c = BuildCentralHeader(h);
      out.Write(c.data(), c.size());
    }
    const uint64_t cdSize = out.Pos() - cdStart;
    const std::string end = BuildEndRecords(central.size(), cdStart, cdSize, newComment);
    out.Write(end.data(), end.size());
    if (!out.Close()) {
      rep_.FileError(dz::DZ_MSG_WRITE_ERROR, "Write failure: " + o_.zipFile, out.Error());
      return Fail(dz::ZE_WRITE, "Cannot write the temporary file " + temp.Path());
    }
    old.Close();
    if (rep_.Major(o_.zipFile, 100)) return dz::ZE_ABORT;
    // A caller that had the zip written under a name of its own names the zip it renews: the
    // new one goes straight into that one's place, so its sources are deleted only once it
    // stands under the name it is backed up by.
    const std::string finalName = rep_.Query(dz::DZ_QUERY_FINALNAME);
    const std::wstring place = finalName.empty() ? target_ : FullPath(tk::Widen(finalName));
    unsigned long copyError = 0;
    if (!ReplaceTarget(temp, place, &copyError)) {
      const std::string name = tk::Narrow(place);
      const bool kept = tk::FileExists(name);
      if (copyError != 0) rep_.FileError(dz::DZ_MSG_WRITE_ERROR, "Write failure: " + name, copyError);
      return Fail(kept ? dz::ZE_TEMP : dz::ZE_CREAT,
                  "Cannot put the new zip in place of " + name + ": the new zip was not kept" +
                      (kept ? ", " + name + " was left as it was" : std::string()) +
                      (o_.deleteOriginal ? " and no source file was deleted" : ""));
    }

    if (o_.oldAsLatest && newest != 0) {
      File f;
      if (f.Open(place, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, OPEN_EXISTING, 0)) {
        const FILETIME ft{static_cast<DWORD>(newest & 0xFFFFFFFFu), static_cast<DWORD>(newest >> 32)};
        f.SetTimes(nullptr, nullptr, &ft);
      }
    }
    AfterSuccess();
    return dz::ZE_OK;
  }

  // Only files whose data went into the zip just written.
  void AfterSuccess() {
    // A caller that puts this zip into another names a list file (query 703): the bits are
    // then its to clear, once that other zip is written, and the paths go to the list.
    const std::string later = o_.Sub(dz::ZSO_RESET_ARCHIVED) ? rep_.Query(dz::DZ_QUERY_ARCHIVELIST) : std::string();
    std::string listed;
    for (auto& r : results_) {
      if (r.isDir || (r.action != EntryAction::Added && r.action != EntryAction::Replaced)) continue;
      if (!later.empty()) listed += tk::Narrow(r.sourcePath) + "\r\n";
      else if (o_.Sub(dz::ZSO_RESET_ARCHIVED) && !ClearArchiveBit(r.sourcePath))
        rep_.Warning("Cannot clear the archive attribute of " + tk::Narrow(r.sourcePath));
      if (o_.deleteOriginal) {
        if (RemoveFile(r.sourcePath)) {
          r.note = "source deleted";
          log_.Line("deleted source: " + tk::Narrow(r.sourcePath));
        } else {
          rep_.Warning("Cannot delete the source file " + tk::Narrow(r.sourcePath));
          log_.Line("cannot delete source: " + tk::Narrow(r.sourcePath));
        }
      }
    }
    if (!later.empty() && !WriteWholeFile(tk::Widen(later), listed))
      rep_.Warning("Cannot write the list of archive attributes to clear: " + later);
  }

  DzipOptions o_;
  Reporter& rep_;
  ZipLog log_;
  std::wstring target_;
  std::vector<EntryResult> results_;
};

}  // namespace

int RunZip(const DzipOptions& o, Reporter& rep) {
  Run run(o, rep);
  return run.Execute();
}

}  // namespace ziplib
