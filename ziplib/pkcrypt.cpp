// The three-key stream cipher of the traditional zip encryption. It is not a standard cipher
// the system offers, so it is written out here.
#include "ziplib/pkcrypt.h"

namespace ziplib {
namespace {

struct CrcTable {
  uint32_t t[256];
  CrcTable() {
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
  }
};
const CrcTable kCrc;

inline uint32_t Crc32Byte(uint32_t crc, uint8_t b) { return kCrc.t[(crc ^ b) & 0xFF] ^ (crc >> 8); }

}  // namespace

uint8_t PkCheckByte(uint16_t flags, uint32_t crc, uint16_t dosTime) {
  return (flags & 0x0008) ? static_cast<uint8_t>(dosTime >> 8) : static_cast<uint8_t>(crc >> 24);
}

void PkDecryptor::Update(uint8_t plain) {
  k0_ = Crc32Byte(k0_, plain);
  k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
  k2_ = Crc32Byte(k2_, static_cast<uint8_t>(k1_ >> 24));
}

uint8_t PkDecryptor::StreamByte() const {
  uint16_t t = static_cast<uint16_t>(k2_ | 2);
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

bool PkDecryptor::Begin(const std::string& password, const uint8_t* header, uint8_t checkByte) {
  k0_ = 305419896u;
  k1_ = 591751049u;
  k2_ = 878082192u;
  for (char c : password) Update(static_cast<uint8_t>(c));
  uint8_t h[kPkHeaderSize];
  for (size_t i = 0; i < kPkHeaderSize; ++i) h[i] = header[i];
  Decrypt(h, kPkHeaderSize);
  return h[kPkHeaderSize - 1] == checkByte;
}

void PkDecryptor::Decrypt(uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    uint8_t p = data[i] ^ StreamByte();
    Update(p);
    data[i] = p;
  }
}

}  // namespace ziplib
