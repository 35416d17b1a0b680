#include "ziplib/zipformat.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "toolkit/datetime.h"
#include "toolkit/strings.h"

namespace ziplib {

void Put16(std::string& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, static_cast<uint16_t>(v & 0xFFFF));
  Put16(out, static_cast<uint16_t>(v >> 16));
}
void Put64(std::string& out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v & 0xFFFFFFFFu));
  Put32(out, static_cast<uint32_t>(v >> 32));
}
uint16_t Get16(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}
uint32_t Get32(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return Get16(b) | (static_cast<uint32_t>(Get16(b + 2)) << 16);
}
uint64_t Get64(const void* p) {
  const auto* b = static_cast<const uint8_t*>(p);
  return Get32(b) | (static_cast<uint64_t>(Get32(b + 4)) << 32);
}

uint32_t Crc32(uint32_t crc, const void* data, size_t len) {
  const auto* p = static_cast<const Bytef*>(data);
  // zlib takes 32-bit lengths; feed large buffers in pieces.
  while (len > 0) {
    const uInt n = len > 0x40000000u ? 0x40000000u : static_cast<uInt>(len);
    crc = static_cast<uint32_t>(crc32(crc, p, n));
    p += n;
    len -= n;
  }
  return crc;
}

uint32_t Crc32Combine(uint32_t crcA, uint32_t crcB, uint64_t lenB) {
  return static_cast<uint32_t>(crc32_combine(crcA, crcB, static_cast<z_off_t>(lenB)));
}

uint32_t FileTimeToDos(uint64_t fileTimeUtc) {
  const FILETIME utc{static_cast<DWORD>(fileTimeUtc & 0xFFFFFFFFu), static_cast<DWORD>(fileTimeUtc >> 32)};
  const uint32_t dos = tk::FileTimeToDosTime(utc);
  return dos != 0 ? dos : (1u << 5 | 1u) << 16;  // outside 1980..2107: 1 January 1980
}

uint64_t DosToFileTime(uint32_t dosDateTime) {
  const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(1980 + (date >> 9));
  st.wMonth = static_cast<WORD>((date >> 5) & 15);
  st.wDay = static_cast<WORD>(date & 31);
  st.wHour = static_cast<WORD>(time >> 11);
  st.wMinute = static_cast<WORD>((time >> 5) & 63);
  st.wSecond = static_cast<WORD>((time & 31) * 2);
  if (st.wMonth < 1 || st.wMonth > 12) st.wMonth = 1;
  if (st.wDay < 1) st.wDay = 1;
  FILETIME local{}, utc{};
  if (!SystemTimeToFileTime(&st, &local) || !LocalFileTimeToFileTime(&local, &utc)) return 0;
  return (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

std::string StripExtraBlock(const std::string& extra, uint16_t tag) {
  std::string out;
  size_t pos = 0;
  while (pos + 4 <= extra.size()) {
    const uint16_t t = Get16(extra.data() + pos);
    const size_t len = Get16(extra.data() + pos + 2);
    if (pos + 4 + len > extra.size()) break;  // a malformed tail is dropped
    if (t != tag) out.append(extra, pos, 4 + len);
    pos += 4 + len;
  }
  return out;
}

std::string NtfsExtraBlock(uint64_t mtime, uint64_t atime, uint64_t ctime) {
  std::string b;
  Put16(b, kExtraNtfs);
  Put16(b, 32);       // reserved(4) + tag(2) + size(2) + 3 * 8
  Put32(b, 0);
  Put16(b, 1);
  Put16(b, 24);
  Put64(b, mtime);
  Put64(b, atime);
  Put64(b, ctime);
  return b;
}

std::string Utf8ToAnsi(std::string_view utf8, bool* allMapped) {
  const std::wstring w = tk::Widen(utf8);
  if (allMapped) *allMapped = true;
  if (w.empty()) return {};
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                                    &usedDefault);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, &usedDefault);
  if (allMapped) *allMapped = n > 0 && !usedDefault;
  return out;
}

EncodedName EncodeZipName(std::string_view utf8, bool ansiNames) {
  EncodedName out;
  bool ascii = true;
  for (unsigned char c : utf8)
    if (c >= 0x80) ascii = false;
  if (ascii) {
    out.bytes.assign(utf8);
    return out;
  }
  if (ansiNames) {
    bool mapped = false;
    std::string a = Utf8ToAnsi(utf8, &mapped);
    if (mapped) {
      out.bytes = std::move(a);
      return out;
    }
  }
  out.bytes.assign(utf8);
  out.flags = kFlagUtf8;
  return out;
}

bool NeedsZip64Sizes(uint64_t uncompressedSize) {
  // Stored or deflated data grows by far less than 1/64 of its size.
  return uncompressedSize >= 0xFFFFFFFFull - (0xFFFFFFFFull >> 6);
}

size_t LocalHeaderSize(const EntryHeader& e, bool zip64Sizes) {
  return 30 + e.name.size() + e.extra.size() + (zip64Sizes ? 20 : 0);
}

size_t LocalZip64SizesOffset(const EntryHeader& e) { return 30 + e.name.size() + 4; }

std::string BuildLocalHeader(const EntryHeader& e, bool zip64Sizes) {
  std::string h;
  h.reserve(LocalHeaderSize(e, zip64Sizes));
  Put32(h, kSigLocal);
  Put16(h, zip64Sizes ? std::max<uint16_t>(e.versionNeeded, kVersionZip64) : e.versionNeeded);
  Put16(h, e.flags);
  Put16(h, e.method);
  Put16(h, static_cast<uint16_t>(e.dosDateTime & 0xFFFF));
  Put16(h, static_cast<uint16_t>(e.dosDateTime >> 16));
  Put32(h, e.crc);
  if (zip64Sizes) {
    Put32(h, kZip64Marker32);
    Put32(h, kZip64Marker32);
  } else {
    Put32(h, static_cast<uint32_t>(e.compressedSize));
    Put32(h, static_cast<uint32_t>(e.uncompressedSize));
  }
  Put16(h, static_cast<uint16_t>(e.name.size()));
  Put16(h, static_cast<uint16_t>(e.extra.size() + (zip64Sizes ? 20 : 0)));
  h += e.name;
  if (zip64Sizes) {
    Put16(h, kExtraZip64);
    Put16(h, 16);
    Put64(h, e.uncompressedSize);
    Put64(h, e.compressedSize);
  }
  h += e.extra;
  return h;
}

std::string BuildCentralHeader(const EntryHeader& e) {
  const bool bigU = e.uncompressedSize >= kZip64Marker32;
  const bool bigC = e.compressedSize >= kZip64Marker32;
  const bool bigO = e.localHeaderOffset >= kZip64Marker32;
  std::string z64;
  if (bigU || bigC || bigO) {
    std::string body;
    if (bigU) Put64(body, e.uncompressedSize);
    if (bigC) Put64(body, e.compressedSize);
    if (bigO) Put64(body, e.localHeaderOffset);
    Put16(z64, kExtraZip64);
    Put16(z64, static_cast<uint16_t>(body.size()));
    z64 += body;
  }
  std::string h;
  Put32(h, kSigCentral);
  Put16(h, e.versionMadeBy);
  Put16(h, z64.empty() ? e.versionNeeded : std::max<uint16_t>(e.versionNeeded, kVersionZip64));
  Put16(h, e.flags);
  Put16(h, e.method);
  Put16(h, static_cast<uint16_t>(e.dosDateTime & 0xFFFF));
  Put16(h, static_cast<uint16_t>(e.dosDateTime >> 16));
  Put32(h, e.crc);
  Put32(h, bigC ? kZip64Marker32 : static_cast<uint32_t>(e.compressedSize));
  Put32(h, bigU ? kZip64Marker32 : static_cast<uint32_t>(e.uncompressedSize));
  Put16(h, static_cast<uint16_t>(e.name.size()));
  Put16(h, static_cast<uint16_t>(z64.size() + e.extra.size()));
  Put16(h, static_cast<uint16_t>(e.comment.size()));
  Put16(h, 0);  // disk number start
  Put16(h, e.internalAttr);
  Put32(h, e.externalAttr);
  Put32(h, bigO ? kZip64Marker32 : static_cast<uint32_t>(e.localHeaderOffset));
  h += e.name;
  h += z64;
  h += e.extra;
  h += e.comment;
  return h;
}

std::string BuildEndRecords(uint64_t entryCount, uint64_t centralOffset, uint64_t centralSize,
                            std::string_view comment, bool forceZip64) {
  const bool z64 = forceZip64 || entryCount >= kZip64Marker16 || centralOffset >= kZip64Marker32 ||
                   centralSize >= kZip64Marker32;
  std::string out;
  if (z64) {
    const uint64_t z64EndOffset = centralOffset + centralSize;
    Put32(out, kSigZip64End);
    Put64(out, 44);             // size of the rest of the record
    Put16(out, kMadeByNtfs);
    Put16(out, kVersionZip64);
    Put32(out, 0);              // this disk
    Put32(out, 0);              // disk of the central directory
    Put64(out, entryCount);
    Put64(out, entryCount);
    Put64(out, centralSize);
    Put64(out, centralOffset);
    Put32(out, kSigZip64Locator);
    Put32(out, 0);
    Put64(out, z64EndOffset);
    Put32(out, 1);              // total disks
  }
  Put32(out, kSigEnd);
  Put16(out, 0);
  Put16(out, 0);
  const uint16_t n16 = entryCount >= kZip64Marker16 ? kZip64Marker16 : static_cast<uint16_t>(entryCount);
  Put16(out, n16);
  Put16(out, n16);
  Put32(out, centralSize >= kZip64Marker32 ? kZip64Marker32 : static_cast<uint32_t>(centralSize));
  Put32(out, centralOffset >= kZip64Marker32 ? kZip64Marker32 : static_cast<uint32_t>(centralOffset));
  const size_t clen = comment.size() > 0xFFFF ? 0xFFFF : comment.size();
  Put16(out, static_cast<uint16_t>(clen));
  out.append(comment.data(), clen);
  return out;
}

}  // namespace ziplib
