#pragma once
// On-disk zip structures: signatures, little-endian helpers, CRC-32, DOS time <-> FILETIME,
// the NTFS and zip64 extra fields, name encoding, and the writers of local headers,
// central headers and the end records. Reading the central directory is zipread.h.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace ziplib {

// Signatures.
constexpr uint32_t kSigLocal = 0x04034b50;
constexpr uint32_t kSigCentral = 0x02014b50;
constexpr uint32_t kSigEnd = 0x06054b50;
constexpr uint32_t kSigZip64End = 0x06064b50;
constexpr uint32_t kSigZip64Locator = 0x07064b50;
constexpr uint32_t kSigDataDescriptor = 0x08074b50;
constexpr uint32_t kSigSplit = 0x08074b50;  // first four bytes of a split archive's first volume

// Methods.
constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflated = 8;
constexpr uint16_t kMethodDeflate64 = 9;
// (kMethodAes = 99 is in zipread.h)

// General-purpose bits.
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;

// Extra field tags.
constexpr uint16_t kExtraZip64 = 0x0001;
constexpr uint16_t kExtraNtfs = 0x000a;
constexpr uint16_t kExtraAes = 0x9901;
constexpr uint16_t kExtraUnicodePath = 0x7075;

// Version needed / made by.
constexpr uint16_t kVersionDefault = 20;   // deflate, folders
constexpr uint16_t kVersionZip64 = 45;
constexpr uint16_t kVersionDeflate64 = 21;
constexpr uint16_t kVersionAes = 51;
constexpr uint16_t kMadeByNtfs = (10u << 8) | 63;   // host NTFS, spec 6.3

// A 32-bit field that says "see the zip64 extra field".
constexpr uint32_t kZip64Marker32 = 0xFFFFFFFFu;
constexpr uint16_t kZip64Marker16 = 0xFFFFu;

// Little-endian helpers.
void Put16(std::string& out, uint16_t v);
void Put32(std::string& out, uint32_t v);
void Put64(std::string& out, uint64_t v);
uint16_t Get16(const void* p);
uint32_t Get32(const void* p);
uint64_t Get64(const void* p);

// CRC-32 of the zip format (start with 0, feed pieces in order).
uint32_t Crc32(uint32_t crc, const void* data, size_t len);
// CRC of A followed by B from crcA, crcB and the length of B (below 2 GiB).
uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lenB);

// DOS date and time (local time, 2-second steps) <-> FILETIME (UTC, 100 ns since 1601).
// The DOS value is date in the high 16 bits and time in the low 16 bits; years before
// 1980 become 1 January 1980 00:00.
uint32_t FileTimeToDos(uint64_t fileTimeUtc);
uint64_t DosToFileTime(uint32_t dosDateTime);

// NTFS extra field block (tag 0x000A, attribute tag 1) with the three file times.
std::string NtfsExtraBlock(uint64_t mtime, uint64_t atime, uint64_t ctime);

// The extra field without its blocks of the given tag (and without a malformed tail).
std::string StripExtraBlock(const std::string& extra, uint16_t tag);

// Name of an entry as stored: UTF-8 with bit 11 when the name is not plain ASCII; with
// ansiNames the ANSI code page (no bit 11) when every character maps, else UTF-8.
struct EncodedName {
  std::string bytes;
  uint16_t flags = 0;   // kFlagUtf8 or 0
};
EncodedName EncodeZipName(std::string_view utf8, bool ansiNames);
// UTF-8 -> the ANSI code page.
std::string Utf8ToAnsi(std::string_view utf8, bool* allMapped = nullptr);

// What the header writers need of one entry.
struct EntryHeader {
  uint16_t versionNeeded = kVersionDefault;
  uint16_t versionMadeBy = kMadeByNtfs;
  uint16_t flags = 0;
  uint16_t method = kMethodDeflated;
  uint32_t dosDateTime = 0;       // date << 16 | time
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
  uint16_t internalAttr = 0;
  uint32_t externalAttr = 0;      // Windows attribute bits in the low byte
  std::string name;               // encoded bytes
  std::string extra;              // extra blocks other than zip64 (NTFS, AES...)
  std::string comment;
};

// Local header with name and extra. With zip64Sizes the sizes go into a zip64 extra
// block (and the 32-bit fields hold 0xFFFFFFFF), so a later patch may write sizes of any
// width into the same space. LocalHeaderSize gives the size the same call writes.
std::string BuildLocalHeader(const EntryHeader& e, bool zip64Sizes);
size_t LocalHeaderSize(const EntryHeader& e, bool zip64Sizes);
// Offset, inside the local header, of the CRC field (sizes follow it) and, with
// zip64Sizes, of the zip64 block's two 64-bit sizes.
constexpr size_t kLocalCrcOffset = 14;
size_t LocalZip64SizesOffset(const EntryHeader& e);
// Does an entry of this size need zip64 sizes in its local header? Counts a margin for
// data that grows when compressed.
bool NeedsZip64Sizes(uint64_t uncompressedSize);

// Central header with name, extra (zip64 block added when a value needs it) and comment.
std::string BuildCentralHeader(const EntryHeader& e);

// End of central directory (with the zip64 end record and locator before it when the
// count, size or offset needs them, or when forceZip64).
std::string BuildEndRecords(uint64_t entryCount, uint64_t centralOffset, uint64_t centralSize,
                            std::string_view comment, bool forceZip64 = false);

}  // namespace ziplib
