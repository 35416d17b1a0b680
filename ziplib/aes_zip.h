#pragma once
// Zip AES encryption in the AE-2 form, through the system's CNG (bcrypt).
//
// Entry data layout: salt (8/12/16 bytes for strength 1/2/3), 2-byte password verifier, the
// encrypted (compressed) data, a 10-byte authentication code. The local and central headers
// carry method 99, general-purpose bit 0, CRC 0 (AE-2 stores no CRC) and the 0x9901 extra record
// naming the real method. The compressed size counts salt, verifier, data and code.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace ziplib {

constexpr uint16_t kAesMethod = 99;
constexpr uint16_t kAesExtraId = 0x9901;
constexpr size_t kAesAuthSize = 10;
constexpr int kAesIterations = 1000;

// Salt bytes for strength 1, 2, 3 (AES-128/192/256): 8, 12, 16; 0 for any other value.
size_t AesSaltSize(int strength);
// Bytes in front of the encrypted data: salt plus the 2-byte verifier (0 for a bad strength).
size_t AesHeaderSize(int strength);
// Bytes the encryption adds to the compressed size.
inline size_t AesOverhead(int strength) { return AesHeaderSize(strength) + kAesAuthSize; }

// The AES extra record.
struct AesExtraInfo {
  uint16_t vendorVersion = 0;  // 1 = AE-1 (CRC kept), 2 = AE-2 (CRC 0)
  int strength = 0;            // 1, 2, 3
  uint16_t method = 0;         // the real compression method
};
// The whole 11-byte record (id 0x9901, size 7, version, "AE", strength, method) for an extra field.
std::string AesExtraField(uint16_t realMethod, int strength = 3, uint16_t vendorVersion = 2);
// Finds and checks the 0x9901 record in an extra field; false when absent or malformed
// (wrong size, vendor id not "AE", strength not 1..3).
bool FindAesExtra(const void* extra, size_t size, AesExtraInfo* info);

enum class AesResult {
  Ok,
  WrongPassword,  // the password verifier differs
  BadData,        // the authentication code differs: the data is damaged or was changed
  BadParameter,   // bad strength or header size, or a call out of order
  SystemError,    // a CNG call failed
};

class AesCtrHmac;  // the keyed state shared by both directions

class AesZipEncryptor {
 public:
  AesZipEncryptor();
  ~AesZipEncryptor();
  // AES-256 with a fresh random salt; *header receives salt + verifier (18 bytes), written in
  // front of the data.
  AesResult Begin(const std::string& password, std::string* header);
  // Encrypts in place; call for the compressed data in order, in any chunking.
  AesResult Encrypt(uint8_t* data, size_t size);
  // Encrypts in place the part of the data that starts `offset` bytes into it, without
  // authenticating it. Several threads may encrypt different parts at once; each part then
  // goes to Authenticate, in order, after what Encrypt covered.
  AesResult EncryptPart(uint64_t offset, uint8_t* data, size_t size) const;
  AesResult Authenticate(const uint8_t* data, size_t size);
  // *authCode receives the 10 bytes written after the data.
  AesResult Finish(std::string* authCode);

 private:
  std::unique_ptr<AesCtrHmac> s_;
};

class AesZipDecryptor {
 public:
  AesZipDecryptor();
  ~AesZipDecryptor();
  // `header` is the salt + verifier read from the start of the entry data (AesHeaderSize bytes).
  // WrongPassword when the verifier differs.
  AesResult Begin(const std::string& password, int strength, const void* header, size_t headerSize);
  // Decrypts in place the bytes between the header and the last 10 bytes, in order.
  AesResult Decrypt(uint8_t* data, size_t size);
  // Compares the authentication code (the entry's last 10 bytes): Ok or BadData.
  AesResult Finish(const void* authCode, size_t size);

 private:
  std::unique_ptr<AesCtrHmac> s_;
};

}  // namespace ziplib
