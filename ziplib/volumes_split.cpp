#include "ziplib/volumes_split.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "toolkit/files.h"
#include "toolkit/strings.h"
#include "toolkit/tempfile.h"
#include "ziplib/zipformat.h"
#include "ziplib/zipread.h"

namespace ziplib {
namespace {

constexpr uint32_t kMaxDisks = 65536;   // what a set's end record can name and a join reads
constexpr size_t kChunk = 1u << 20;

// Where a block landed: the volume and the offset inside it (the split signature counts).
struct Place {
  uint32_t disk = 0;
  uint64_t offset = 0;
};

void Poke16(std::string& s, size_t at, uint16_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}
void Poke32(std::string& s, size_t at, uint32_t v) {
  Poke16(s, at, uint16_t(v & 0xFFFF));
  Poke16(s, at + 2, uint16_t(v >> 16));
}
uint16_t Clamp16(uint64_t v) { return v >= kZip64Marker16 ? kZip64Marker16 : uint16_t(v); }
uint32_t Clamp32(uint64_t v) { return v >= kZip64Marker32 ? kZip64Marker32 : uint32_t(v); }

std::string Unquoted(const std::string& text) {
  std::string s = tk::Trim(text);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

// The volumes being written: the current one, under a temporary name, and the cursor.
class Volumes {
 public:
  Volumes(std::string lastVolume, uint64_t capacity) : last_(std::move(lastVolume)), cap_(capacity) {}
  ~Volumes() {
    if (!finished_) Abandon();
  }

  bool Start() {
    std::string signature;
    Put32(signature, kSigSplit);
    return OpenVolume() && Put(signature.data(), signature.size());
  }

  // Bytes that must lie in one volume: they start a new volume when the current one has
  // no room for all of them, or for them and `reserve` bytes to follow when those fit together.
  bool Whole(const void* data, size_t len, Place* at, size_t reserve = 0) {
    if (pos_ + len > cap_ || (pos_ + len + reserve > cap_ && len + reserve <= cap_)) {
      if (len > cap_) return Failed(dz::ZE_BIG, "A header of " + std::to_string(len) +
                                                    " bytes does not fit in a volume of " + std::to_string(cap_) + " bytes");
      if (!NextVolume()) return false;
    }
    if (at) *at = Cursor();
    return Put(data, len);
  }

  // Bytes that may go on over the following volumes.
  bool Spread(const void* data, size_t len) {
    auto* p = static_cast<const uint8_t*>(data);
    while (len > 0) {
      if (pos_ == cap_ && !NextVolume()) return false;
      const size_t n = size_t(std::min<uint64_t>(len, cap_ - pos_));
      if (!Put(p, n)) return false;
      p += n;
      len -= n;
    }
    return true;
  }

  Place Cursor() const { return {uint32_t(temps_.size() - 1), pos_}; }
  uint64_t Capacity() const { return cap_; }

  // Closes the last volume and gives every volume its real name, the last one last.
  bool Finish() {
    if (!out_->Close()) return Failed(dz::ZE_WRITE, "Cannot write the volume " + temps_.back()->Path());
    out_.reset();
    const uint32_t lastDisk = uint32_t(temps_.size() - 1);
    for (uint32_t d = 0; d <= lastDisk; ++d) {
      const std::string name = tk::Narrow(FullPath(tk::Widen(SplitVolumeName(last_, d, lastDisk))));
      if (!temps_[d]->Commit(name)) {
        for (uint32_t k = 0; k < d; ++k) RemoveFile(tk::Widen(SplitVolumeName(last_, k, lastDisk)));
        return Failed(dz::ZE_CREAT, "Cannot create the volume " + name);
      }
    }
    temps_.clear();
    finished_ = true;
    return true;
  }

  // Removes every volume written so far.
  void Abandon() {
    out_.reset();
    temps_.clear();
  }

  int code = dz::ZE_OK;
  std::string why;

 private:
  bool Failed(int c, const std::string& text) {
    code = c;
    why = text;
    return false;
  }

  // Each volume is written to a temporary file in the set's folder, held open and marked
  // for deletion until the whole set takes its real names: a killed split leaves nothing
  // behind.
  bool OpenVolume() {
    const std::string folder = tk::ExtractFilePath(last_);
    auto temp = std::make_unique<tk::TempFile>();
    if (!temp->Create(folder, "qbs"))
      return Failed(dz::ZE_CREAT, "Cannot create the volume " +
                                      SplitVolumeName(last_, uint32_t(temps_.size()), uint32_t(temps_.size() + 1)));
    out_ = std::make_unique<OutFile>();
    pos_ = 0;
    if (!out_->Adopt(temp->Duplicate())) return Failed(dz::ZE_CREAT, "Cannot write the volume " + temp->Path());
    temps_.push_back(std::move(temp));
    return true;
  }

  bool NextVolume() {
    if (temps_.size() >= kMaxDisks)
      return Failed(dz::ZE_MVPARMS, "The volume size of " + std::to_string(cap_) +
                                        " bytes is too small for this zip: a set has at most 65536 volumes");
    if (!out_->Close()) return Failed(dz::ZE_WRITE, "Cannot write the volume " + temps_.back()->Path());
    return OpenVolume();
  }

  bool Put(const void* data, size_t len) {
    if (!out_->Write(data, len)) return Failed(dz::ZE_WRITE, "Cannot write the volume " + temps_.back()->Path());
    pos_ += len;
    return true;
  }

  std::string last_;
  uint64_t cap_;
  std::unique_ptr<OutFile> out_;
  uint64_t pos_ = 0;
  std::vector<std::unique_ptr<tk::TempFile>> temps_;   // one per volume opened, in order
  bool finished_ = false;
};

// Length of the data descriptor after an entry's data (0 without bit 3): with or without
// its signature, 32-bit or 64-bit sizes, the form whose values match the entry; the
// 64-bit form is tried first when the local header has a zip64 block.
uint64_t DescriptorLength(const ZipReader& zip, const ZipEntry& e, const ZipLocalInfo& li, bool localZip64,
                          uint64_t limit) {
  if (!(li.flags & kFlagDataDescriptor)) return 0;
  const uint64_t at = li.dataOffset + e.compressedSize;
  if (at >= limit) return 0;
  uint8_t b[24] = {};
  const size_t avail = size_t(std::min<uint64_t>(sizeof b, limit - at));
  if (!zip.ReadAt(at, b, avail)) return 0;
  const size_t sig = avail >= 4 && Get32(b) == kSigDataDescriptor ? 4 : 0;
  const uint8_t* p = b + sig;
  const size_t left = avail - sig;
  const bool fits32 = left >= 12 && Get32(p) == e.crc && Get32(p + 4) == uint32_t(e.compressedSize) &&
                      Get32(p + 8) == uint32_t(e.uncompressedSize);
  const bool fits64 = left >= 20 && Get32(p) == e.crc && Get64(p + 4) == e.compressedSize &&
                      Get64(p + 12) == e.uncompressedSize;
  if (localZip64 ? fits64 : !fits32 && fits64) return sig + 20;
  if (fits32) return sig + 12;
  return std::min<uint64_t>(sig + (localZip64 ? 20 : 12), avail);
}

// The central header of an entry, naming the volume and the offset of its local header;
// a zip64 block carries what the fixed fields cannot hold.
bool SplitCentralHeader(const uint8_t* rec, size_t nameLen, size_t extraLen, size_t commentLen, const ZipEntry& e,
                        Place at, std::string* out) {
  const std::string extra = StripExtraBlock(std::string(reinterpret_cast<const char*>(rec + 46 + nameLen), extraLen),
                                            kExtraZip64);
  const bool bigUsize = Get32(rec + 24) == kZip64Marker32 || e.uncompressedSize >= kZip64Marker32;
  const bool bigCsize = Get32(rec + 20) == kZip64Marker32 || e.compressedSize >= kZip64Marker32;
  const bool bigOffset = at.offset >= kZip64Marker32;
  const bool bigDisk = at.disk >= kZip64Marker16;
  std::string z64;
  if (bigUsize) Put64(z64, e.uncompressedSize);
  if (bigCsize) Put64(z64, e.compressedSize);
  if (bigOffset) Put64(z64, at.offset);
  if (bigDisk) Put32(z64, at.disk);
  std::string block;
  if (!z64.empty()) {
    Put16(block, kExtraZip64);
    Put16(block, uint16_t(z64.size()));
    block += z64;
  }
  block += extra;
  if (block.size() > 0xFFFF) return false;
  out->assign(reinterpret_cast<const char*>(rec), 46);
  const uint16_t needed = Get16(rec + 6);
  if (!z64.empty() && (needed & 0xFF) < kVersionZip64) Poke16(*out, 6, uint16_t((needed & 0xFF00) | kVersionZip64));
  Poke32(*out, 20, bigCsize ? kZip64Marker32 : uint32_t(e.compressedSize));
  Poke32(*out, 24, bigUsize ? kZip64Marker32 : uint32_t(e.uncompressedSize));
  Poke16(*out, 30, uint16_t(block.size()));
  Poke16(*out, 34, bigDisk ? kZip64Marker16 : uint16_t(at.disk));
  Poke32(*out, 42, bigOffset ? kZip64Marker32 : uint32_t(at.offset));
  out->append(reinterpret_cast<const char*>(rec + 46), nameLen);
  out->append(block);
  out->append(reinterpret_cast<const char*>(rec + 46 + nameLen + extraLen), commentLen);
  return true;
}

// What the end records of a set say.
struct SetEnd {
  uint32_t thisDisk = 0;        // the last volume, which holds the end records
  uint64_t offset = 0;          // where they start in it
  uint64_t entriesHere = 0;     // central headers on the last volume
  uint64_t entries = 0;
  uint32_t cdDisk = 0;
  uint64_t cdOffset = 0, cdSize = 0;
  bool Zip64() const {
    return thisDisk >= kZip64Marker16 || cdDisk >= kZip64Marker16 || entriesHere >= kZip64Marker16 ||
           entries >= kZip64Marker16 || cdOffset >= kZip64Marker32 || cdSize >= kZip64Marker32;
  }
  size_t Size(size_t commentLen) const { return 22 + commentLen + (Zip64() ? 56 + 20 : 0); }
};

std::string BuildSetEnd(const SetEnd& s, const std::string& comment) {
  std::string out;
  if (s.Zip64()) {
    Put32(out, kSigZip64End);
    Put64(out, 44);
    Put16(out, kMadeByNtfs);
    Put16(out, kVersionZip64);
    Put32(out, s.thisDisk);
    Put32(out, s.cdDisk);
    Put64(out, s.entriesHere);
    Put64(out, s.entries);
    Put64(out, s.cdSize);
    Put64(out, s.cdOffset);
    Put32(out, kSigZip64Locator);
    Put32(out, s.thisDisk);     // the zip64 end record lies just before, on the same volume
    Put64(out, s.offset);
    Put32(out, s.thisDisk + 1);
  }
  Put32(out, kSigEnd);
  Put16(out, Clamp16(s.thisDisk));
  Put16(out, Clamp16(s.cdDisk));
  Put16(out, Clamp16(s.entriesHere));
  Put16(out, Clamp16(s.entries));
  Put32(out, Clamp32(s.cdSize));
  Put32(out, Clamp32(s.cdOffset));
  Put16(out, uint16_t(comment.size()));
  out += comment;
  return out;
}

// One split run.
class Split {
 public:
  Split(const DzipOptions& o, Reporter& rep) : o_(o), rep_(rep) {}

  int Execute() {
    if (o_.function != dz::ZIP_ADD || !(o_.mv & dz::MV_TOHD))
      return Fail(dz::ZE_MVPARMS, "Volumes are made only by splitting a zip onto disk (function 4 with MV_TOHD)");
    if (!o_.volumeSize) return Fail(dz::ZE_MVPARMS, "No volume size was given");
    const int64_t size = *o_.volumeSize;
    if (size < int64_t(kMinVolumeSize))
      return Fail(dz::ZE_MVPARMS, "The volume size of " + std::to_string(size) + " bytes is below the smallest, " +
                                      std::to_string(kMinVolumeSize) + " bytes");
    source_ = Unquoted(o_.itemList);
    volume_ = tk::Trim(o_.zipFile);
    if (source_.empty()) return Fail(dz::ZE_NAME, "No zip to split was given");
    if (volume_.empty()) return Fail(dz::ZE_NAME, "No name for the volumes was given");
    const DWORD attrs = PathAttributes(tk::Widen(source_));
    if (attrs == INVALID_FILE_ATTRIBUTES || (attrs & FILE_ATTRIBUTE_DIRECTORY))
      return Fail(dz::ZE_NAME, "The zip to split does not exist: " + source_);
    if (WouldReplaceSource()) return Fail(dz::ZE_MVPARMS, "The volumes " + volume_ + " would replace the zip being split");

    const int rc = OpenSource();
    if (rc != dz::ZE_OK) return rc;
    Volumes vols(volume_, uint64_t(size));
    const int wrc = Write(vols);
    if (wrc == dz::ZE_OK && !vols.Finish()) return Fail(vols.code, vols.why);
    return wrc;   // a failed or cancelled set is removed with vols
  }

 private:
  int Fail(int code, const std::string& text) {
    rep_.Error(code, text);
    return code;
  }

  bool WouldReplaceSource() const {
    const std::wstring src = FullPath(tk::Widen(source_));
    std::wstring stem = FullPath(tk::Widen(SplitVolumeName(volume_, 0, 1)));
    stem.resize(stem.size() - 2);   // "...z"
    if (_wcsicmp(src.c_str(), FullPath(tk::Widen(volume_)).c_str()) == 0) return true;
    if (src.size() <= stem.size() || _wcsnicmp(src.c_str(), stem.c_str(), stem.size()) != 0) return false;
    return src.find_first_not_of(L"0123456789", stem.size()) == std::wstring::npos;
  }

  int OpenSource() {
    const ZipReadStatus st = zip_.Open(source_);
    switch (st) {
      case ZipReadStatus::Ok:
        return dz::ZE_OK;
      case ZipReadStatus::OpenFailed:
        rep_.FileError(dz::DZ_MSG_OPEN_ERROR, "Cannot open the zip file: " + source_);
        return Fail(dz::ZE_OPEN, "Cannot open the zip to split: " + source_);
      case ZipReadStatus::MultiVolume:
        return Fail(dz::ZE_MVUSAGE, "The zip to split is itself a volume of a split zip: " + source_);
      case ZipReadStatus::OutOfMemory:
        return Fail(dz::ZE_MEM, "Out of memory reading " + source_);
      default:
        rep_.FileError(dz::DZ_MSG_READ_ERROR, "Cannot read the zip file: " + source_);
        return Fail(st == ZipReadStatus::Truncated ? dz::ZE_EOF : st == ZipReadStatus::ReadFailed ? dz::ZE_READ
                                                                                                   : dz::ZE_FORMAT,
                    "The zip to split cannot be read, its structure is invalid: " + source_);
    }
  }

  // Progress; true when the caller asked to stop.
  bool Progress(const std::string& entry, uint64_t entryDone, uint64_t entrySize) {
    const int overall = int(total_ ? done_ * 100 / total_ : 100);
    return rep_.Minor(entry, int(entrySize ? entryDone * 100 / entrySize : 100)) || rep_.Major(volume_, overall);
  }

  int VolumeFailure(const Volumes& v) {
    if (v.code == dz::ZE_WRITE || v.code == dz::ZE_CREAT) rep_.FileError(dz::DZ_MSG_WRITE_ERROR, v.why);
    return Fail(v.code, v.why);
  }

  int ReadFailure(const std::string& what) {
    rep_.FileError(dz::DZ_MSG_READ_ERROR, "Cannot read the zip file: " + source_);
    return Fail(dz::ZE_READ, "Cannot read " + what + " of " + source_);
  }

  struct Item {
    size_t index;
    ZipLocalInfo li;
    bool localZip64 = false;
    uint64_t descriptor = 0;
  };

  int Write(Volumes& vols) {
    const auto& entries = zip_.Entries();
    const ZipArchiveInfo& info = zip_.Info();
    // Entries are copied in the order of their data in the zip.
    std::vector<Item> items;
    items.reserve(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      Item it{i, {}};
      if (zip_.LocateData(entries[i], &it.li) != ZipReadStatus::Ok)
        return Fail(dz::ZE_FORMAT, "The entry " + entries[i].name + " of " + source_ + " cannot be read");
      items.push_back(it);
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.li.headerOffset < b.li.headerOffset; });
    std::string header;
    for (size_t k = 0; k < items.size(); ++k) {
      Item& it = items[k];
      header.resize(size_t(it.li.headerSize));
      if (!zip_.ReadAt(it.li.headerOffset, header.data(), header.size())) return ReadFailure("a local header");
      const size_t nameLen = Get16(&header[26]);
      const std::string localExtra = header.substr(std::min<size_t>(header.size(), 30 + nameLen));
      const uint8_t* d = nullptr;
      size_t n = 0;
      it.localZip64 = FindExtraBlock(localExtra, kExtraZip64, &d, &n);
      const uint64_t limit = k + 1 < items.size() ? items[k + 1].li.headerOffset : info.centralOffset;
      it.descriptor = DescriptorLength(zip_, entries[it.index], it.li, it.localZip64, limit);
      total_ += it.li.headerSize + entries[it.index].compressedSize + it.descriptor;
    }
    total_ += info.centralSize;

    if (!vols.Start()) return VolumeFailure(vols);
    if (rep_.Major(volume_, 0)) return dz::ZE_ABORT;
    std::vector<Place> places(entries.size());
    // At most a volume per chunk, so that progress and cancel come at least once a volume.
    std::vector<uint8_t> buf(size_t(std::min<uint64_t>(kChunk, vols.Capacity())));
    for (const Item& it : items) {
      const ZipEntry& e = entries[it.index];
      header.resize(size_t(it.li.headerSize));
      if (!zip_.ReadAt(it.li.headerOffset, header.data(), header.size())) return ReadFailure("a local header");
      if (!vols.Whole(header.data(), header.size(), &places[it.index])) return VolumeFailure(vols);
      done_ += header.size();
      for (uint64_t copied = 0; copied < e.compressedSize;) {
        const size_t n = size_t(std::min<uint64_t>(buf.size(), e.compressedSize - copied));
        if (!zip_.ReadAt(it.li.dataOffset + copied, buf.data(), n)) return ReadFailure("the entry " + e.name);
        if (!vols.Spread(buf.data(), n)) return VolumeFailure(vols);
        copied += n;
        done_ += n;
        if (Progress(e.name, copied, e.compressedSize)) return dz::ZE_ABORT;
      }
      if (it.descriptor > 0) {
        uint8_t desc[24];
        if (!zip_.ReadAt(it.li.dataOffset + e.compressedSize, desc, size_t(it.descriptor)))
          return ReadFailure("the entry " + e.name);
        if (!vols.Whole(desc, size_t(it.descriptor), nullptr)) return VolumeFailure(vols);
        done_ += it.descriptor;
      }
      if (e.compressedSize == 0 && Progress(e.name, 0, 0)) return dz::ZE_ABORT;
    }

    // The central directory, each header inside one volume.
    std::vector<uint8_t> cd(size_t(info.centralSize));
    if (!zip_.ReadAt(info.centralOffset, cd.data(), cd.size())) return ReadFailure("the central directory");
    SetEnd end;
    end.entries = entries.size();
    const Place cdStart = vols.Cursor();
    end.cdDisk = cdStart.disk;
    end.cdOffset = cdStart.offset;
    uint32_t lastCdDisk = cdStart.disk;
    uint64_t onLastCdDisk = 0;
    std::string rec;
    size_t p = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      if (p + 46 > cd.size() || Get32(&cd[p]) != kSigCentral)
        return Fail(dz::ZE_FORMAT, "The central directory of " + source_ + " is damaged");
      const size_t n = Get16(&cd[p + 28]), m = Get16(&cd[p + 30]), c = Get16(&cd[p + 32]);
      if (p + 46 + n + m + c > cd.size())
        return Fail(dz::ZE_FORMAT, "The central directory of " + source_ + " is damaged");
      if (!SplitCentralHeader(&cd[p], n, m, c, entries[i], places[i], &rec))
        return Fail(dz::ZE_BIG, "The extra field of " + entries[i].name + " has no room for the volume fields");
      // The last central header stays with the end records: readers that follow the
      // directory into the end record do not expect a volume of end records alone.
      size_t reserve = 0;
      if (i + 1 == entries.size()) {
        SetEnd moved = end;
        moved.thisDisk = vols.Cursor().disk + 1;
        moved.entriesHere = onLastCdDisk + 1;
        moved.cdSize += rec.size();
        reserve = moved.Size(info.comment.size());
      }
      Place at;
      if (!vols.Whole(rec.data(), rec.size(), &at, reserve)) return VolumeFailure(vols);
      if (i == 0) {
        end.cdDisk = at.disk;
        end.cdOffset = at.offset;
      }
      if (at.disk != lastCdDisk) onLastCdDisk = 0;
      lastCdDisk = at.disk;
      ++onLastCdDisk;
      end.cdSize += rec.size();
      done_ += n + m + c + 46;
      p += 46 + n + m + c;
    }

    // The end records, together on the last volume.
    Place here = vols.Cursor();
    end.thisDisk = here.disk;
    end.offset = here.offset;
    end.entriesHere = here.disk == lastCdDisk ? onLastCdDisk : 0;
    if (here.offset + end.Size(info.comment.size()) > vols.Capacity()) {
      end.thisDisk = here.disk + 1;
      end.offset = 0;
      end.entriesHere = 0;
    }
    const std::string records = BuildSetEnd(end, info.comment);
    if (!vols.Whole(records.data(), records.size(), &here)) return VolumeFailure(vols);
    if (here.disk != end.thisDisk || here.offset != end.offset) return Fail(dz::ZE_LOGIC, "The end records moved");
    if (rep_.Major(volume_, 100)) return dz::ZE_ABORT;
    return dz::ZE_OK;
  }

  const DzipOptions& o_;
  Reporter& rep_;
  std::string source_, volume_;
  ZipReader zip_;
  uint64_t total_ = 0, done_ = 0;
};

}  // namespace

std::string SplitVolumeName(const std::string& lastVolume, uint32_t disk, uint32_t lastDisk) {
  if (disk == lastDisk) return lastVolume;
  std::string stem = lastVolume;
  const size_t dot = stem.find_last_of('.');
  const size_t slash = stem.find_last_of("\\/");
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) stem.resize(dot);
  char ext[16];
  std::snprintf(ext, sizeof ext, ".z%02u", unsigned(disk + 1));
  return stem + ext;
}

int RunSplit(const DzipOptions& o, Reporter& rep) {
  Split split(o, rep);
  return split.Execute();
}

}  // namespace ziplib
