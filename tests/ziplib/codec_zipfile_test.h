#pragma once
// Helpers of the codec tests: raw zip entries read and written by hand, so the codecs are
// checked against outside tools without the rest of the zip library.
#include <zlib.h>

#include <cstdint>
#include <random>
#include <string>

#include "support/testutil.h"

namespace codectest {

struct RawEntry {
  uint16_t flags = 0, method = 0, time = 0, date = 0;
  uint32_t crc = 0;
  uint64_t csize = 0, usize = 0;
  std::string name, localExtra, data;  // data: the entry's raw (compressed, encrypted) bytes
};

inline uint32_t Get16(const std::string& s, size_t i) {
  return static_cast<uint8_t>(s[i]) | static_cast<uint8_t>(s[i + 1]) << 8;
}
inline uint32_t Get32(const std::string& s, size_t i) { return Get16(s, i) | Get16(s, i + 2) << 16; }
inline void Put16(std::string* s, uint32_t v) {
  s->push_back(static_cast<char>(v));
  s->push_back(static_cast<char>(v >> 8));
}
inline void Put32(std::string* s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// The first entry of a zip: sizes, CRC and flags from the central directory (they may be 0 in
// the local header when a data descriptor follows), the data located through the local header.
inline bool ReadFirstEntry(const std::string& zip, RawEntry* e) {
  if (zip.size() < 22) return false;
  size_t eocd = std::string::npos;
  for (size_t i = zip.size() - 22 + 1; i-- > 0;)
    if (Get32(zip, i) == 0x06054b50) {
      eocd = i;
      break;
    }
  if (eocd == std::string::npos) return false;
  size_t cd = Get32(zip, eocd + 16);
  if (cd + 46 > zip.size() || Get32(zip, cd) != 0x02014b50) return false;
  e->flags = static_cast<uint16_t>(Get16(zip, cd + 8));
  e->method = static_cast<uint16_t>(Get16(zip, cd + 10));
  e->time = static_cast<uint16_t>(Get16(zip, cd + 12));
  e->date = static_cast<uint16_t>(Get16(zip, cd + 14));
  e->crc = Get32(zip, cd + 16);
  e->csize = Get32(zip, cd + 20);
  e->usize = Get32(zip, cd + 24);
  size_t local = Get32(zip, cd + 42);
  if (local + 30 > zip.size() || Get32(zip, local) != 0x04034b50) return false;
  size_t nlen = Get16(zip, local + 26), xlen = Get16(zip, local + 28);
  size_t data = local + 30 + nlen + xlen;
  if (data + e->csize > zip.size()) return false;
  e->name = zip.substr(local + 30, nlen);
  e->localExtra = zip.substr(local + 30 + nlen, xlen);
  e->data = zip.substr(data, e->csize);
  return true;
}

// A one-entry zip around already compressed (and perhaps encrypted) data.
inline std::string OneEntryZip(const std::string& name, uint16_t method, uint16_t flags, uint32_t crc,
                               uint64_t usize, const std::string& extra, const std::string& data) {
  const uint16_t version = method == 9 ? 21 : method == 99 ? 51 : 20;
  const uint16_t time = 0x6000, date = 0x5A21;
  // The fields local and central headers share, from the version needed on.
  auto common = [&](std::string* z) {
    Put16(z, version);
    Put16(z, flags);
    Put16(z, method);
    Put16(z, time);
    Put16(z, date);
    Put32(z, crc);
    Put32(z, static_cast<uint32_t>(data.size()));
    Put32(z, static_cast<uint32_t>(usize));
    Put16(z, static_cast<uint32_t>(name.size()));
    Put16(z, static_cast<uint32_t>(extra.size()));
  };
  std::string z;
  Put32(&z, 0x04034b50);
  common(&z);
  z += name + extra + data;
  size_t cd = z.size();
  Put32(&z, 0x02014b50);
  Put16(&z, version);  // made by
  common(&z);
  Put16(&z, 0);  // comment
  Put16(&z, 0);  // disk
  Put16(&z, 0);  // internal attributes
  Put32(&z, 0);  // external attributes
  Put32(&z, 0);  // local header offset
  z += name + extra;
  size_t cdSize = z.size() - cd;
  Put32(&z, 0x06054b50);
  Put16(&z, 0);
  Put16(&z, 0);
  Put16(&z, 1);
  Put16(&z, 1);
  Put32(&z, static_cast<uint32_t>(cdSize));
  Put32(&z, static_cast<uint32_t>(cd));
  Put16(&z, 0);
  return z;
}

inline uint32_t Crc(const std::string& s) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

inline std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 g(seed);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(g());
  return s;
}

// Text-like data with many short and long repeats.
inline std::string RepetitiveText(size_t n, uint32_t seed) {
  static const char* words[] = {"backup ", "profile ", "volume ", "archive ", "schedule ", "the ", "of ",
                                "Quillbank ", "file\r\n", "folder ", "2026-12-09 ", "error "};
  std::mt19937 g(seed);
  std::string s;
  while (s.size() < n) s += words[g() % 12];
  s.resize(n);
  return s;
}

// Raw inflate (method 8) with zlib, for checking what the decryptors hand back.
inline bool Inflate(const std::string& in, std::string* out) {
  z_stream z{};
  if (inflateInit2(&z, -15) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  char buf[65536];
  int r;
  out->clear();
  do {
    z.next_out = reinterpret_cast<Bytef*>(buf);
    z.avail_out = sizeof buf;
    r = inflate(&z, Z_NO_FLUSH);
    out->append(buf, sizeof buf - z.avail_out);
  } while (r == Z_OK);
  inflateEnd(&z);
  return r == Z_STREAM_END;
}

inline std::string Quote(const std::string& winPath) { return "'" + qbtest::ToUnixPath(winPath) + "'"; }

}  // namespace codectest
