#pragma once
// Traditional PKWARE zip encryption, decryption side (reading older zips only).
#include <cstddef>
#include <cstdint>
#include <string>

namespace ziplib {

constexpr size_t kPkHeaderSize = 12;  // the encryption header in front of the entry data

// The byte the last header byte must decrypt to: the high byte of the DOS time when the entry
// has a data descriptor (general-purpose bit 3), else the high byte of the CRC.
uint8_t PkCheckByte(uint16_t flags, uint32_t crc, uint16_t dosTime);

class PkDecryptor {
 public:
  // Starts with the password (its bytes as stored by the writer) and decrypts the 12-byte
  // header; false when its check byte differs, i.e. the password is wrong. One wrong password in
  // 256 passes this check; the CRC of the extracted data catches it.
  bool Begin(const std::string& password, const uint8_t* header, uint8_t checkByte);
  // Decrypts the entry data that follows the header, in place, in order, in any chunking.
  void Decrypt(uint8_t* data, size_t size);

 private:
  void Update(uint8_t plain);
  uint8_t StreamByte() const;
  uint32_t k0_ = 0, k1_ = 0, k2_ = 0;
};

}  // namespace ziplib
