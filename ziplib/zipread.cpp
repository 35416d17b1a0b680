#include "ziplib/zipread.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "toolkit/strings.h"

namespace ziplib {
namespace {

constexpr uint32_t kSigLocal = 0x04034b50;
constexpr uint32_t kSigCentral = 0x02014b50;
constexpr uint32_t kSigEnd = 0x06054b50;
constexpr uint32_t kSigEnd64 = 0x06064b50;
constexpr uint32_t kSigLocator64 = 0x07064b50;
constexpr uint32_t kSigDescriptor = 0x08074b50;
constexpr size_t kEndSize = 22;
constexpr size_t kLocatorSize = 20;
constexpr size_t kEnd64Size = 56;
constexpr size_t kCentralSize = 46;
constexpr size_t kLocalSize = 30;
constexpr size_t kDataBuffer = 1 << 20;

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t Get32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
uint64_t Get64(const uint8_t* p) { return uint64_t(Get32(p)) | (uint64_t(Get32(p + 4)) << 32); }

std::string WideToUtf8(const wchar_t* w, int n) {
  if (n <= 0) return {};
  int len = WideCharToMultiByte(CP_UTF8, 0, w, n, nullptr, 0, nullptr, nullptr);
  std::string out(size_t(len > 0 ? len : 0), '\0');
  if (len > 0) WideCharToMultiByte(CP_UTF8, 0, w, n, out.data(), len, nullptr, nullptr);
  return out;
}

// Applies the zip64 extended information field to the values stored as all-ones.
bool ApplyZip64(ZipEntry& e, uint32_t size32, uint32_t comp32, uint32_t offset32, uint16_t disk16) {
  const bool needU = size32 == 0xFFFFFFFFu, needC = comp32 == 0xFFFFFFFFu;
  const bool needO = offset32 == 0xFFFFFFFFu, needD = disk16 == 0xFFFF;
  if (!needU && !needC && !needO && !needD) return true;
  const uint8_t* d;
  size_t n;
  if (!FindExtraBlock(e.extra, 0x0001, &d, &n)) return false;
  size_t pos = 0;
  auto take64 = [&](uint64_t* v) {
    if (pos + 8 > n) return false;
    *v = Get64(d + pos);
    pos += 8;
    return true;
  };
  if (needU && !take64(&e.uncompressedSize)) return false;
  if (needC && !take64(&e.compressedSize)) return false;
  if (needO && !take64(&e.localHeaderOffset)) return false;
  if (needD) {
    if (pos + 4 > n) return false;
    e.diskStart = Get32(d + pos);
  }
  return true;
}

void ApplyExtras(ZipEntry& e) {
  const uint8_t* d;
  size_t n;
  // NTFS times: reserved dword, then tagged attributes; tag 1 holds mtime, atime, ctime.
  if (FindExtraBlock(e.extra, 0x000A, &d, &n) && n >= 4) {
    size_t pos = 4;
    while (pos + 4 <= n) {
      uint16_t tag = Get16(d + pos), len = Get16(d + pos + 2);
      pos += 4;
      if (len > n - pos) break;
      if (tag == 1 && len >= 24) {
        e.hasNtfsTimes = true;
        e.mtime = Get64(d + pos);
        e.atime = Get64(d + pos + 8);
        e.ctime = Get64(d + pos + 16);
      }
      pos += len;
    }
  }
  if (FindExtraBlock(e.extra, 0x9901, &d, &n) && n >= 7) {
    e.isAes = true;
    e.aesVersion = Get16(d);
    e.aesStrength = d[4];
    e.aesMethod = Get16(d + 5);
  }
  // Unicode path field: version 1, CRC of the stored name, the UTF-8 name.
  if (!e.IsUtf8() && FindExtraBlock(e.extra, 0x7075, &d, &n) && n > 5 && d[0] == 1) {
    uint32_t crc = uint32_t(crc32(0L, reinterpret_cast<const Bytef*>(e.rawName.data()), uInt(e.rawName.size())));
    if (crc == Get32(d + 1)) e.name = DecodeZipName(std::string(reinterpret_cast<const char*>(d + 5), n - 5), true);
  }
}

// Every block's length lies within the field (fewer than four bytes after the last block
// are padding, as some writers leave).
bool ExtraWellFormed(const std::string& extra) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(extra.data());
  size_t pos = 0;
  while (pos + 4 <= extra.size()) {
    const size_t len = Get16(p + pos + 2);
    pos += 4;
    if (len > extra.size() - pos) return false;
    pos += len;
  }
  return true;
}

}  // namespace

bool ZipEntry::IsDirectory() const {
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
  return uncompressedSize == 0 && (WindowsAttributes() & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint32_t ZipEntry::WindowsAttributes() const {
  const uint32_t dosBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;
  const unsigned host = versionMadeBy >> 8;
  uint32_t attr = externalAttr & dosBits;
  if (host == 3 || host == 19) {  // Unix, OS X: the mode in the high word
    const uint32_t mode = externalAttr >> 16;
    if (mode != 0) {
      if ((mode & 0200) == 0) attr |= FILE_ATTRIBUTE_READONLY;
      // A mode with a file type says file or folder, whatever the DOS byte holds.
      if ((mode & 0170000) != 0) attr &= ~DWORD(FILE_ATTRIBUTE_DIRECTORY);
      if ((mode & 0170000) == 0040000) attr |= FILE_ATTRIBUTE_DIRECTORY;
    }
  } else if (host != 0 && host != 10 && host != 11 && host != 14 && host != 6) {
    attr &= FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;  // other hosts: trust little
  }
  return attr;
}

std::string DecodeZipName(const std::string& raw, bool utf8Flag, unsigned codePage) {
  if (raw.empty()) return {};
  bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return (unsigned char)c < 0x80; });
  if (ascii) return raw;
  const UINT cp = utf8Flag ? CP_UTF8 : codePage;
  const int n = int(std::min<size_t>(raw.size(), 0xFFFF));
  int wn = MultiByteToWideChar(cp, 0, raw.data(), n, nullptr, 0);
  if (wn <= 0) {  // code page not available: keep ASCII, mark the rest
    std::string s = raw;
    for (char& c : s)
      if ((unsigned char)c >= 0x80) c = '_';
    return s;
  }
  std::wstring w(size_t(wn), L'\0');
  MultiByteToWideChar(cp, 0, raw.data(), n, w.data(), wn);
  return WideToUtf8(w.data(), wn);
}

bool FindExtraBlock(const std::string& extra, uint16_t tag, const uint8_t** data, size_t* size) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(extra.data());
  size_t pos = 0, n = extra.size();
  while (pos + 4 <= n) {
    uint16_t t = Get16(p + pos), len = Get16(p + pos + 2);
    pos += 4;
    if (len > n - pos) return false;
    if (t == tag) {
      *data = p + pos;
      *size = len;
      return true;
    }
    pos += len;
  }
  return false;
}

ZipReader::~ZipReader() { Close(); }

void ZipReader::Close() {
  file_.Close();
  info_ = ZipArchiveInfo();
  entries_.clear();
  entries_.shrink_to_fit();
}

bool ZipReader::ReadAt(uint64_t offset, void* buffer, size_t len) const {
  if (!file_.IsOpen()) return false;
  if (offset > info_.fileSize || len > info_.fileSize - offset) return false;
  // A seek and a plain read: under Wine a read given its offset in an OVERLAPPED costs a
  // round trip to the server, several times the cost of the pair. The lock keeps the pair
  // whole when threads share the reader.
  AcquireSRWLockExclusive(&readLock_);
  const bool ok = file_.ReadAt(offset, buffer, len);
  ReleaseSRWLockExclusive(&readLock_);
  return ok;
}

ZipReadStatus ZipReader::Open(const std::string& path, unsigned codePage) {
  Close();
  if (!file_.Open(tk::Widen(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                  FILE_FLAG_SEQUENTIAL_SCAN))
    return ZipReadStatus::OpenFailed;
  if (!file_.Size(&info_.fileSize)) {
    Close();
    return ZipReadStatus::ReadFailed;
  }
  ZipReadStatus st;
  try {
    st = ReadDirectory(codePage);
  } catch (const std::bad_alloc&) {
    st = ZipReadStatus::OutOfMemory;
  }
  if (st != ZipReadStatus::Ok) {
    file_.Close();
    entries_.clear();
  }
  return st;
}

ZipReadStatus ZipReader::ReadDirectory(unsigned codePage) {
  const uint64_t fsize = info_.fileSize;
  if (fsize < kEndSize) return fsize == 0 ? ZipReadStatus::NotAZip : ZipReadStatus::Truncated;

  // The end record lies in the last 22 + 65535 bytes, its comment reaching to the end of
  // the file. A later record whose comment also does lies inside that comment (a zip hidden
  // there) and is not the archive's: the first such record decides. Only when none reaches
  // exactly is the last one whose comment fits taken (bytes appended after a zip), and only
  // when it is not a stored member's: a record cut short after it (the archive's own, its
  // comment truncated) or the next zip record right behind it says the file goes on as a zip.
  const size_t tailLen = size_t(std::min<uint64_t>(fsize, kEndSize + 0xFFFF));
  std::vector<uint8_t> tail(tailLen);
  const uint64_t tailStart = fsize - tailLen;
  if (!ReadAt(tailStart, tail.data(), tailLen)) return ZipReadStatus::ReadFailed;
  ptrdiff_t exact = -1, fitting = -1, cut = -1;
  for (size_t i = 0; i + 4 <= tailLen; ++i) {
    if (tail[i] != 0x50 || Get32(&tail[i]) != kSigEnd) continue;
    const size_t reach = i + kEndSize <= tailLen ? i + kEndSize + Get16(&tail[i + 20]) : SIZE_MAX;
    if (reach == tailLen) {
      exact = ptrdiff_t(i);
      break;
    }
    (reach < tailLen ? fitting : cut) = ptrdiff_t(i);
  }
  const ptrdiff_t found = exact >= 0 ? exact : fitting;
  if (found < 0) return ZipReadStatus::NotAZip;
  if (exact < 0) {
    if (cut > found) return ZipReadStatus::Truncated;
    // The bytes behind it: another record's signature, or as much of one as the file holds.
    const size_t after = size_t(found) + kEndSize + Get16(&tail[size_t(found) + 20]);
    const size_t n = std::min<size_t>(4, tailLen - after);
    for (const uint32_t sig : {kSigCentral, kSigLocal, kSigEnd64, kSigDescriptor}) {
      size_t same = 0;
      while (same < n && tail[after + same] == uint8_t(sig >> (8 * same))) ++same;
      if (same == n) return ZipReadStatus::Truncated;
    }
  }
  return ReadFromEndRecord(&tail[found], tailStart + uint64_t(found), codePage);
}

ZipReadStatus ZipReader::ReadFromEndRecord(const uint8_t* end, uint64_t endOffset, unsigned codePage) {
  info_.endRecordOffset = endOffset;
  info_.comment.assign(reinterpret_cast<const char*>(end + kEndSize), Get16(end + 20));
  const EndValues classic{Get16(end + 4), Get16(end + 6), Get16(end + 8), Get16(end + 10),
                          Get32(end + 12), Get32(end + 16), endOffset};
  EndValues big;
  // The classic record names no entries and no directory: its writer left the values to
  // the zip64 record.
  const bool unfilled = classic.count == 0 && classic.countDisk == 0 && classic.cdSize == 0;
  // A disk number, size or offset of all ones stands for a zip64 value (a count of all ones
  // may as well be a count that wrapped).
  const bool markers = classic.disk == 0xFFFF || classic.cdDisk == 0xFFFF || classic.cdSize == 0xFFFFFFFFu ||
                       classic.cdOffset == 0xFFFFFFFFu;
  switch (FindZip64End(classic, &big)) {
    case Zip64End::None:
      if (markers) return ZipReadStatus::BadStructure;
      return ReadCentral(classic, codePage);
    case Zip64End::Untrusted:
      // A locator whose record cannot be taken: the classic record decides only where it
      // describes the directory by itself.
      if (markers || unfilled) return ZipReadStatus::BadStructure;
      return ReadCentral(classic, codePage);
    case Zip64End::MultiVolume: return ZipReadStatus::MultiVolume;
    case Zip64End::Found: break;
  }
  // A classic field holds its all-ones marker or the zip64 value (a count may wrap).
  const auto differs = [](uint64_t value, uint64_t marker, uint64_t other) {
    return value != marker && value != other && !(marker == 0xFFFF && value == (other & 0xFFFF));
  };
  const bool disagree =
      !unfilled &&
      (differs(classic.disk, 0xFFFF, big.disk) || differs(classic.cdDisk, 0xFFFF, big.cdDisk) ||
       differs(classic.countDisk, 0xFFFF, big.countDisk) || differs(classic.count, 0xFFFF, big.count) ||
       differs(classic.cdSize, 0xFFFFFFFFu, big.cdSize) || differs(classic.cdOffset, 0xFFFFFFFFu, big.cdOffset));
  if (disagree) {
    // One of the two is wrong: the classic record when it describes a whole directory,
    // else the zip64 one, and a test then says that they disagree.
    const ZipReadStatus st = ReadCentral(classic, codePage);
    if (st == ZipReadStatus::Ok || st == ZipReadStatus::OutOfMemory || st == ZipReadStatus::ReadFailed) return st;
    entries_.clear();
    info_.prefixBytes = 0;
    info_.endRecordsDisagree = true;
  }
  info_.zip64 = true;
  return ReadCentral(big, codePage);
}

// The locator right before the end record points at the zip64 end record. Its bytes may as
// well be the end of the last item's name or comment: the record is taken only when it lies
// where the locator says (or, with bytes put before the zip, right before the locator), ends
// where the locator begins, and describes a directory that ends before it.
ZipReader::Zip64End ZipReader::FindZip64End(const EndValues& classic, EndValues* big) const {
  if (classic.cdEnd < kLocatorSize) return Zip64End::None;
  uint8_t loc[kLocatorSize];
  const uint64_t locOff = classic.cdEnd - kLocatorSize;
  if (!ReadAt(locOff, loc, kLocatorSize) || Get32(loc) != kSigLocator64) return Zip64End::None;
  // Another disk: believed unless the classic record says this one holds everything.
  if (Get32(loc + 16) > 1 || Get32(loc + 4) != 0)
    return classic.disk == 0 && classic.cdDisk == 0 ? Zip64End::None : Zip64End::MultiVolume;
  const uint64_t stated = Get64(loc + 8);
  uint8_t rec[kEnd64Size];
  const auto recordAt = [&](uint64_t at) {
    return at <= locOff && locOff - at >= kEnd64Size && ReadAt(at, rec, kEnd64Size) && Get32(rec) == kSigEnd64;
  };
  uint64_t at = stated;
  if (!recordAt(at) && !(locOff >= kEnd64Size && (at = locOff - kEnd64Size) > stated && recordAt(at)))
    return Zip64End::Untrusted;
  if (Get64(rec + 4) != locOff - at - 12) return Zip64End::Untrusted;
  *big = EndValues{Get32(rec + 16), Get32(rec + 20), Get64(rec + 24), Get64(rec + 32),
                   Get64(rec + 40), Get64(rec + 48), at};
  const uint64_t shift = at - stated;   // the bytes before the zip
  if (big->cdOffset > at - shift || big->cdSize > at - shift - big->cdOffset) return Zip64End::Untrusted;
  return Zip64End::Found;
}

ZipReadStatus ZipReader::ReadCentral(const EndValues& v, unsigned codePage) {
  const uint32_t disk = v.disk, cdDisk = v.cdDisk;
  const uint64_t countDisk = v.countDisk, count = v.count, cdSize = v.cdSize, cdOffset = v.cdOffset;
  const uint64_t cdEnd = v.cdEnd;  // where the directory should stop
  if (disk != 0 || cdDisk != 0 || countDisk != count) return ZipReadStatus::MultiVolume;
  if (cdSize > cdEnd) return ZipReadStatus::Truncated;

  // The directory starts at cdOffset, unless data was put before the zip: then it ends
  // where the end record begins, and the difference is the prefix of every offset.
  uint64_t cdStart = cdOffset;
  uint8_t sig[4];
  const bool atStored = cdOffset <= cdEnd && cdSize <= cdEnd - cdOffset &&
                        (cdSize == 0 || (ReadAt(cdOffset, sig, 4) && Get32(sig) == kSigCentral));
  if (!atStored) {
    cdStart = cdEnd - cdSize;
    if (cdStart < cdOffset) return ZipReadStatus::Truncated;
    if (cdSize != 0 && !(ReadAt(cdStart, sig, 4) && Get32(sig) == kSigCentral)) return ZipReadStatus::BadStructure;
    info_.prefixBytes = cdStart - cdOffset;
  }
  info_.centralOffset = cdStart;
  info_.centralSize = cdSize;
  if (count > cdSize / kCentralSize) {
    // More entries than could fit: a liar, unless the 16-bit count simply wrapped.
    if (info_.zip64 || count != 0xFFFF) return ZipReadStatus::BadStructure;
  }

  std::vector<uint8_t> cd(static_cast<size_t>(cdSize));
  if (cdSize && !ReadAt(cdStart, cd.data(), cd.size())) return ZipReadStatus::ReadFailed;
  entries_.reserve(size_t(std::min<uint64_t>(count, cdSize / kCentralSize)));
  size_t pos = 0;
  while (pos < cd.size()) {
    if (cd.size() - pos < kCentralSize) return ZipReadStatus::BadStructure;
    const uint8_t* h = &cd[pos];
    if (Get32(h) != kSigCentral) {
      // Some writers put the digital signature record after the entries; nothing else.
      if (Get32(h) == 0x05054b50) break;
      return ZipReadStatus::BadStructure;
    }
    const size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen = Get16(h + 32);
    if (cd.size() - pos - kCentralSize < nameLen + extraLen + commentLen) return ZipReadStatus::BadStructure;
    ZipEntry e;
    e.index = entries_.size();
    e.versionMadeBy = Get16(h + 4);
    e.versionNeeded = Get16(h + 6);
    e.flags = Get16(h + 8);
    e.method = Get16(h + 10);
    e.dosTime = Get16(h + 12);
    e.dosDate = Get16(h + 14);
    e.crc = Get32(h + 16);
    const uint32_t comp32 = Get32(h + 20), size32 = Get32(h + 24), off32 = Get32(h + 42);
    const uint16_t disk16 = Get16(h + 34);
    e.compressedSize = comp32;
    e.uncompressedSize = size32;
    e.diskStart = disk16;
    e.internalAttr = Get16(h + 36);
    e.externalAttr = Get32(h + 38);
    e.localHeaderOffset = off32;
    const char* var = reinterpret_cast<const char*>(h + kCentralSize);
    e.rawName.assign(var, nameLen);
    e.extra.assign(var + nameLen, extraLen);
    std::string rawComment(var + nameLen + extraLen, commentLen);
    e.extraDamaged = !ExtraWellFormed(e.extra);
    if (!ApplyZip64(e, size32, comp32, off32, disk16)) return ZipReadStatus::BadStructure;
    if (e.diskStart != 0) return ZipReadStatus::MultiVolume;
    e.name = DecodeZipName(e.rawName, e.IsUtf8(), codePage);
    e.comment = DecodeZipName(rawComment, e.IsUtf8(), codePage);
    ApplyExtras(e);
    // Offsets are relative to the zip proper; a header must precede the directory.
    if (e.localHeaderOffset > cdStart - info_.prefixBytes) return ZipReadStatus::BadStructure;
    e.localHeaderOffset += info_.prefixBytes;
    entries_.push_back(std::move(e));
    pos += kCentralSize + nameLen + extraLen + commentLen;
  }
  if (entries_.size() != count && !(!info_.zip64 && (entries_.size() & 0xFFFF) == count))
    return ZipReadStatus::BadStructure;
  info_.entryCount = entries_.size();
  MarkNeighbours();
  return ZipReadStatus::Ok;
}

// Each entry's record must end before the next local header: data that run into another
// entry's (or that two entries share) would be read twice.
void ZipReader::MarkNeighbours() {
  std::vector<ZipEntry*> order;
  order.reserve(entries_.size());
  for (ZipEntry& e : entries_) order.push_back(&e);
  std::sort(order.begin(), order.end(),
            [](const ZipEntry* a, const ZipEntry* b) { return a->localHeaderOffset < b->localHeaderOffset; });
  uint64_t next = info_.centralOffset;
  for (size_t i = order.size(); i-- > 0;) {
    ZipEntry& e = *order[i];
    const bool sameAsNext = i + 1 < order.size() && order[i + 1]->localHeaderOffset == e.localHeaderOffset;
    const bool sameAsPrev = i > 0 && order[i - 1]->localHeaderOffset == e.localHeaderOffset;
    e.sharesHeader = sameAsNext || sameAsPrev;
    if (!sameAsNext) e.nextRecord = next;
    else e.nextRecord = order[i + 1]->nextRecord;
    next = e.localHeaderOffset;
  }
}

ZipReadStatus ZipReader::LocateData(const ZipEntry& entry, ZipLocalInfo* out, const uint8_t* held,
                                    size_t heldLen) const {
  if (entry.sharesHeader) return ZipReadStatus::Overlap;
  if (entry.extraDamaged) return ZipReadStatus::BadStructure;
  // Local data never reach into the directory nor into the next entry's header.
  const uint64_t limit = std::min(info_.centralOffset, entry.nextRecord ? entry.nextRecord : info_.centralOffset);
  if (entry.localHeaderOffset > limit || limit - entry.localHeaderOffset < kLocalSize)
    return ZipReadStatus::BadStructure;
  // The header with its name and, mostly, its extra field in one read, unless the caller
  // holds it already.
  std::vector<uint8_t> read;
  const uint8_t* h = held;
  size_t have = size_t(std::min<uint64_t>(heldLen, limit - entry.localHeaderOffset));
  if (h == nullptr || have < kLocalSize) {
    read.resize(size_t(std::min<uint64_t>(limit - entry.localHeaderOffset, kLocalSize + entry.rawName.size() + 64)));
    if (!ReadAt(entry.localHeaderOffset, read.data(), read.size())) return ZipReadStatus::ReadFailed;
    h = read.data();
    have = read.size();
  }
  if (Get32(h) != kSigLocal) return ZipReadStatus::BadStructure;
  const size_t nameLen = Get16(&h[26]), extraLen = Get16(&h[28]);
  const uint64_t headerSize = kLocalSize + uint64_t(nameLen) + extraLen;
  if (limit - entry.localHeaderOffset < headerSize) return ZipReadStatus::BadStructure;
  const uint64_t data = entry.localHeaderOffset + headerSize;
  if (entry.compressedSize > limit - data) {
    const bool intoNext = limit < info_.centralOffset && entry.compressedSize <= info_.centralOffset - data;
    return intoNext ? ZipReadStatus::Overlap : ZipReadStatus::Truncated;
  }
  if (have < headerSize) {
    read.resize(size_t(headerSize));
    if (!ReadAt(entry.localHeaderOffset, read.data(), read.size())) return ZipReadStatus::ReadFailed;
    h = read.data();
  }
  out->headerOffset = entry.localHeaderOffset;
  out->headerSize = headerSize;
  out->dataOffset = data;
  out->flags = Get16(&h[6]);
  out->method = Get16(&h[8]);
  out->mismatch.clear();
  const std::string name(reinterpret_cast<const char*>(&h[kLocalSize]), nameLen);
  if (name != entry.rawName) {
    out->mismatch = "name";
  } else if (out->method != entry.method) {
    out->mismatch = "compression method";
  } else if (out->flags != entry.flags) {
    out->mismatch = "flags";
  } else if (!(out->flags & 0x0008)) {
    // Without a data descriptor the header holds the CRC and sizes (zip64 ones in its extra).
    uint64_t comp = Get32(&h[18]), size = Get32(&h[22]);
    if (comp == 0xFFFFFFFFu || size == 0xFFFFFFFFu) {
      const std::string extra(reinterpret_cast<const char*>(&h[kLocalSize + nameLen]), extraLen);
      const uint8_t* d;
      size_t n;
      if (FindExtraBlock(extra, 0x0001, &d, &n)) {
        size_t pos = 0;
        if (size == 0xFFFFFFFFu && pos + 8 <= n) size = Get64(d + pos), pos += 8;
        if (comp == 0xFFFFFFFFu && pos + 8 <= n) comp = Get64(d + pos);
      }
    }
    if (Get32(&h[14]) != entry.crc) out->mismatch = "CRC";
    else if (comp != entry.compressedSize) out->mismatch = "compressed size";
    else if (size != entry.uncompressedSize) out->mismatch = "size";
  }
  return ZipReadStatus::Ok;
}

ZipDataReader::ZipDataReader(const ZipReader& zip, uint64_t offset, uint64_t length)
    : zip_(zip), next_(offset), remaining_(length) {}

bool ZipDataReader::Fill() {
  if (buffer_.empty()) buffer_.resize(size_t(std::min<uint64_t>(kDataBuffer, std::max<uint64_t>(remaining_, 1))));
  if (pos_ < end_) std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  const size_t want = size_t(std::min<uint64_t>(buffer_.size() - end_, remaining_));
  if (want == 0) return true;
  if (!zip_.ReadAt(next_, buffer_.data() + end_, want)) return false;
  if (transform_) transform_(buffer_.data() + end_, want);
  next_ += want;
  remaining_ -= want;
  end_ += want;
  return true;
}

ptrdiff_t ZipDataReader::Peek(const uint8_t** data, size_t max) {
  if (pos_ == end_ && remaining_ > 0 && !Fill()) return -1;
  *data = buffer_.empty() ? nullptr : buffer_.data() + pos_;
  return ptrdiff_t(std::min(max, end_ - pos_));
}

void ZipDataReader::Consume(size_t n) { pos_ += std::min(n, end_ - pos_); }

ptrdiff_t ZipDataReader::Read(void* buffer, size_t len) {
  size_t done = 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  while (done < len) {
    const uint8_t* p;
    ptrdiff_t n = Peek(&p, len - done);
    if (n < 0) return -1;
    if (n == 0) break;
    std::memcpy(out + done, p, size_t(n));
    Consume(size_t(n));
    done += size_t(n);
  }
  return ptrdiff_t(done);
}

}  // namespace ziplib
