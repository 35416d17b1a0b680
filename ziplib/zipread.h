#pragma once
// Reader of a zip file's central directory: the end record (and its zip64 form), every
// central entry with its names and extra fields, and the check of an entry's local header.
// The input is untrusted: every offset, length and count is checked against the file
// before it is used, so a truncated or hostile zip gives an error, never a bad read.
//
// Used by extraction (list, test, extract) and by compression (update, freshen, which
// copy unchanged entries raw from the old zip).
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ziplib/fileio.h"

namespace ziplib {

// Why a zip could not be read. The extraction entry maps these to its result codes.
enum class ZipReadStatus {
  Ok = 0,
  OpenFailed,     // the file could not be opened
  ReadFailed,     // a read of the file failed
  NotAZip,        // no end-of-central-directory record
  Truncated,      // a record or the directory runs past the end of the file
  BadStructure,   // inconsistent offsets, sizes, counts or signatures
  MultiVolume,    // a volume of a split zip (the end record names another disk)
  OutOfMemory,
  Overlap,        // an entry's data overlaps another entry's (a zip bomb or a damaged zip)
};

// Method 99 with this extra field is an AES entry; the real method sits in the field.
constexpr uint16_t kMethodAes = 99;

struct ZipEntry {
  std::string name;        // UTF-8 (bit 11) or code page 437 turned into UTF-8; '/' separated
  std::string rawName;     // the name bytes as stored
                           // (a valid Unicode path field 0x7075 takes precedence for name)
  std::string comment;     // UTF-8 like the name
  std::string extra;       // the central extra field as stored
  uint16_t versionMadeBy = 0;
  uint16_t versionNeeded = 0;
  uint16_t flags = 0;      // general-purpose bits: 0 encrypted, 3 data descriptor, 11 UTF-8
  uint16_t method = 0;     // as stored (99 for AES; see aesMethod)
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;    // zip64 values already applied
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0; // absolute offset in the file (prefix bytes applied)
  uint32_t diskStart = 0;
  uint16_t internalAttr = 0;
  uint32_t externalAttr = 0;
  size_t index = 0;               // position in the central directory
  uint64_t nextRecord = 0;        // where the next local header (or the directory) begins
  bool sharesHeader = false;      // another entry names the same local header
  bool extraDamaged = false;      // a central extra block claims more bytes than the field holds

  // NTFS extra field (0x000A, tag 1): FILETIME values, 0 when absent.
  bool hasNtfsTimes = false;
  uint64_t mtime = 0, atime = 0, ctime = 0;

  // AES extra field (0x9901).
  bool isAes = false;
  uint16_t aesVersion = 0;   // 1 = AE-1, 2 = AE-2
  uint8_t aesStrength = 0;   // 1, 2, 3 = 128, 192, 256 bits
  uint16_t aesMethod = 0;    // the method of the data inside the encryption

  bool IsEncrypted() const { return (flags & 0x0001) != 0; }
  bool IsUtf8() const { return (flags & 0x0800) != 0; }
  bool HasDataDescriptor() const { return (flags & 0x0008) != 0; }
  // A folder entry: the name ends with '/' (or '\'), or the DOS folder bit is set.
  bool IsDirectory() const;
  // The compression method of the data (the AES field's method for an AES entry).
  uint16_t EffectiveMethod() const { return isAes ? aesMethod : method; }
  // Windows attribute bits (read-only, hidden, system, folder, archive) from the external
  // attributes when the entry was made on a DOS/Windows-like host, else from the Unix mode.
  uint32_t WindowsAttributes() const;
};

struct ZipArchiveInfo {
  uint64_t fileSize = 0;
  uint64_t endRecordOffset = 0;      // offset of the end-of-central-directory record
  uint64_t centralOffset = 0;        // absolute offset of the first central entry
  uint64_t centralSize = 0;
  uint64_t entryCount = 0;
  uint64_t prefixBytes = 0;          // bytes before the zip proper (a stub or other data)
  bool zip64 = false;                // a zip64 end record was present and used
  bool endRecordsDisagree = false;   // the classic end record contradicts the zip64 one
  std::string comment;               // the archive comment, as stored
};

// Where an entry's data lies, from its local header.
struct ZipLocalInfo {
  uint64_t headerOffset = 0;   // absolute
  uint64_t headerSize = 0;     // 30 + name + extra of the local header
  uint64_t dataOffset = 0;     // absolute offset of the first data byte (after the header)
  uint16_t flags = 0;          // the local header's general-purpose bits
  uint16_t method = 0;
  // The first field in which the local header contradicts the central entry ("" when none):
  // the data are then read as the central entry says, but the entry is not whole.
  std::string mismatch;
};

class ZipReader {
 public:
  ZipReader() = default;
  ~ZipReader();
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Opens the zip (UTF-8 path) and reads its central directory. Closes a previous one.
  // Names without bit 11 (and without a valid Unicode path field) are read in codePage.
  ZipReadStatus Open(const std::string& path, unsigned codePage = 437);
  void Close();

  const ZipArchiveInfo& Info() const { return info_; }
  const std::vector<ZipEntry>& Entries() const { return entries_; }

  // Reads and checks an entry's local header (signature, the header within the file and
  // before the central directory, the data within the file and before the next entry's
  // header) and tells where its data lies; an entry whose central extra field is damaged
  // is refused as invalid. held: heldLen bytes of the file from the local header on, when
  // the caller has read them already (what they lack is read here).
  ZipReadStatus LocateData(const ZipEntry& entry, ZipLocalInfo* out, const uint8_t* held = nullptr,
                           size_t heldLen = 0) const;

  // Reads exactly len bytes at an absolute offset; false on a short read or a failure.
  bool ReadAt(uint64_t offset, void* buffer, size_t len) const;

 private:
  // What an end record (classic or zip64) says of the directory; cdEnd: where it must stop.
  struct EndValues {
    uint32_t disk = 0, cdDisk = 0;
    uint64_t countDisk = 0, count = 0, cdSize = 0, cdOffset = 0, cdEnd = 0;
  };
  // Untrusted: a locator whose record is missing or does not fit where it should lie.
  enum class Zip64End { None, Found, Untrusted, MultiVolume };
  ZipReadStatus ReadDirectory(unsigned codePage);
  ZipReadStatus ReadFromEndRecord(const uint8_t* end, uint64_t endOffset, unsigned codePage);
  Zip64End FindZip64End(const EndValues& classic, EndValues* big) const;
  ZipReadStatus ReadCentral(const EndValues& v, unsigned codePage);
  void MarkNeighbours();

  mutable File file_;
  mutable SRWLOCK readLock_ = SRWLOCK_INIT;
  ZipArchiveInfo info_;
  std::vector<ZipEntry> entries_;
};

// Sequential reader of an entry's stored bytes with a large buffer, bounded by the
// entry's compressed size. Used by test and extract.
class ZipDataReader {
 public:
  ZipDataReader(const ZipReader& zip, uint64_t offset, uint64_t length);
  // Copies up to len bytes; returns the count (0 at the end); -1 on a read failure.
  ptrdiff_t Read(void* buffer, size_t len);
  // A view of the next bytes of the internal buffer (at most max): refills as needed.
  // Returns the number available (0 at the end, -1 on failure) and sets *data.
  ptrdiff_t Peek(const uint8_t** data, size_t max);
  void Consume(size_t n);
  // Applied in place to every byte as it is read, in order (decryption).
  void SetTransform(std::function<void(uint8_t*, size_t)> transform) { transform_ = std::move(transform); }

 private:
  bool Fill();
  const ZipReader& zip_;
  uint64_t next_;
  uint64_t remaining_;   // bytes not yet in the buffer
  std::vector<uint8_t> buffer_;
  size_t pos_ = 0, end_ = 0;
  std::function<void(uint8_t*, size_t)> transform_;
};

// Name decoding as the format defines it: bit 11 set means UTF-8 (invalid sequences are
// replaced), else code page 437 (or the code page given, such as CP_ACP for "ANSI names").
std::string DecodeZipName(const std::string& raw, bool utf8Flag, unsigned codePage = 437);

// Finds an extra-field block by its tag inside an extra field; false when absent or when
// the blocks are malformed. *data and *size describe the block's body.
bool FindExtraBlock(const std::string& extra, uint16_t tag, const uint8_t** data, size_t* size);

}  // namespace ziplib
