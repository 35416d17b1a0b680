#pragma once
// Zips put together byte by byte for the tests: every header field as the test sets it, so
// a test can build exactly the damaged or hostile zip it needs.
#include <cstdint>
#include <string>
#include <vector>

namespace zipcraft {

inline uint32_t Crc32(const std::string& data) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : data) {
    c ^= b;
    for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

inline void Put16(std::string& s, uint32_t v) {
  s += char(v & 0xFF);
  s += char((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}
inline void Put64(std::string& s, uint64_t v) {
  Put32(s, uint32_t(v));
  Put32(s, uint32_t(v >> 32));
}
inline void Set32(std::string& s, size_t at, uint32_t v) {
  std::string b;
  Put32(b, v);
  s.replace(at, 4, b);
}

// One stored item. The central entry takes these fields; the local header the same unless
// the test changes them in `local` before building.
struct Item {
  std::string name{};
  std::string data{};           // stored as is (method 0)
  uint16_t method = 0;
  uint16_t flags = 0;
  uint16_t madeBy = 20;         // host 0 (DOS), version 2.0
  uint32_t externalAttr = 0;
  uint32_t crc = 0;             // filled from data by Zip()
  uint64_t compSize = 0, size = 0;  // filled from data by Zip()
  std::string centralExtra{};
  bool filled = false;
};

inline std::string LocalHeader(const Item& it, const std::string& extra = std::string()) {
  std::string s;
  Put32(s, 0x04034b50);
  Put16(s, 20);
  Put16(s, it.flags);
  Put16(s, it.method);
  Put16(s, 0);       // time
  Put16(s, 0x21);    // date: 1 January 1980
  Put32(s, it.crc);
  Put32(s, uint32_t(it.compSize));
  Put32(s, uint32_t(it.size));
  Put16(s, uint32_t(it.name.size()));
  Put16(s, uint32_t(extra.size()));
  return s + it.name + extra;
}

inline std::string CentralHeader(const Item& it, uint64_t offset) {
  std::string s;
  Put32(s, 0x02014b50);
  Put16(s, it.madeBy);
  Put16(s, 20);
  Put16(s, it.flags);
  Put16(s, it.method);
  Put16(s, 0);
  Put16(s, 0x21);
  Put32(s, it.crc);
  Put32(s, it.compSize >= 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(it.compSize));
  Put32(s, it.size >= 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(it.size));
  Put16(s, uint32_t(it.name.size()));
  Put16(s, uint32_t(it.centralExtra.size()));
  Put16(s, 0);  // comment
  Put16(s, 0);  // disk
  Put16(s, 0);  // internal attributes
  Put32(s, it.externalAttr);
  Put32(s, uint32_t(offset));
  return s + it.name + it.centralExtra;
}

inline std::string EndRecord(uint64_t count, uint64_t cdSize, uint64_t cdOffset, const std::string& comment = "") {
  std::string s;
  Put32(s, 0x06054b50);
  Put16(s, 0);
  Put16(s, 0);
  Put16(s, uint32_t(count));
  Put16(s, uint32_t(count));
  Put32(s, uint32_t(cdSize));
  Put32(s, uint32_t(cdOffset));
  Put16(s, uint32_t(comment.size()));
  return s + comment;
}

// The zip64 end record and its locator, for a directory of count entries.
inline std::string Zip64End(uint64_t count, uint64_t cdSize, uint64_t cdOffset, uint64_t at) {
  std::string s;
  Put32(s, 0x06064b50);
  Put64(s, 44);
  Put16(s, 45);
  Put16(s, 45);
  Put32(s, 0);
  Put32(s, 0);
  Put64(s, count);
  Put64(s, count);
  Put64(s, cdSize);
  Put64(s, cdOffset);
  Put32(s, 0x07064b50);
  Put32(s, 0);
  Put64(s, at);
  Put32(s, 1);
  return s;
}

inline void Fill(Item& it) {
  if (it.filled) return;
  it.crc = Crc32(it.data);
  it.compSize = it.size = it.data.size();
  it.filled = true;
}

// A whole zip of stored items; a changed local header goes in through local.
struct Built {
  std::string bytes;
  std::vector<uint64_t> offsets;
  uint64_t cdOffset = 0, cdSize = 0;
};
inline Built Zip(std::vector<Item> items, const std::string& comment = "",
                 const std::vector<std::string>& localHeaders = {}) {
  Built b;
  for (size_t i = 0; i < items.size(); ++i) {
    Fill(items[i]);
    b.offsets.push_back(b.bytes.size());
    b.bytes += (i < localHeaders.size() && !localHeaders[i].empty() ? localHeaders[i] : LocalHeader(items[i])) +
               items[i].data;
  }
  b.cdOffset = b.bytes.size();
  for (size_t i = 0; i < items.size(); ++i) b.bytes += CentralHeader(items[i], b.offsets[i]);
  b.cdSize = b.bytes.size() - b.cdOffset;
  b.bytes += EndRecord(items.size(), b.cdSize, b.cdOffset, comment);
  return b;
}

// A zip whose last name ends in the bytes of a zip64 end record (for count entries, a
// directory of cdSize at cdOffset) and its locator, which then lie right before the end
// record. The locator points at the record in the name, or at locatorAt when that is given.
inline Built Zip64BytesInLastName(std::vector<Item> items, uint64_t count, uint64_t cdSize, uint64_t cdOffset,
                                  uint64_t locatorAt = ~0ull) {
  const std::string name = items.back().name;
  items.back().name += Zip64End(0, 0, 0, 0);
  if (locatorAt == ~0ull) locatorAt = Zip(items).bytes.size() - 22 - 76;
  items.back().name = name + Zip64End(count, cdSize, cdOffset, locatorAt);
  return Zip(items);
}

}  // namespace zipcraft
