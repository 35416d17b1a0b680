// AES (AE-2) and the traditional encryption: round trips, wrong passwords, tampering, and zips
// made and checked by 7z and zip.
#include <gtest/gtest.h>

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <thread>
#include <vector>

#include "tests/ziplib/codec_zipfile_test.h"
#include "ziplib/aes_hw.h"
#include "ziplib/aes_zip.h"
#include "ziplib/deflate64_dec.h"
#include "ziplib/deflate64_enc.h"
#include "ziplib/pkcrypt.h"

using namespace codectest;
using ziplib::AesResult;

namespace {

// Encrypted entry data: salt + verifier + data + code.
std::string AesEncrypt(const std::string& password, const std::string& plain) {
  ziplib::AesZipEncryptor enc;
  std::string header, code;
  EXPECT_EQ(enc.Begin(password, &header), AesResult::Ok);
  EXPECT_EQ(header.size(), ziplib::AesHeaderSize(3));
  std::string body = plain;
  // Uneven chunks: the key stream must continue across calls.
  size_t steps[] = {1, 15, 17, 4096, 5000};
  for (size_t pos = 0, i = 0; pos < body.size(); ++i) {
    size_t n = std::min(steps[i % 5], body.size() - pos);
    EXPECT_EQ(enc.Encrypt(reinterpret_cast<uint8_t*>(&body[pos]), n), AesResult::Ok);
    pos += n;
  }
  EXPECT_EQ(enc.Finish(&code), AesResult::Ok);
  EXPECT_EQ(code.size(), ziplib::kAesAuthSize);
  return header + body + code;
}

// Decrypts entry data; *out receives the plain bytes when the result is Ok.
AesResult AesDecrypt(const std::string& password, int strength, const std::string& entry, std::string* out) {
  size_t hs = ziplib::AesHeaderSize(strength);
  if (entry.size() < hs + ziplib::kAesAuthSize) return AesResult::BadParameter;
  ziplib::AesZipDecryptor dec;
  AesResult r = dec.Begin(password, strength, entry.data(), hs);
  if (r != AesResult::Ok) return r;
  std::string body = entry.substr(hs, entry.size() - hs - ziplib::kAesAuthSize);
  for (size_t pos = 0; pos < body.size(); pos += 3000) {
    size_t n = std::min<size_t>(3000, body.size() - pos);
    r = dec.Decrypt(reinterpret_cast<uint8_t*>(&body[pos]), n);
    if (r != AesResult::Ok) return r;
  }
  r = dec.Finish(entry.data() + entry.size() - ziplib::kAesAuthSize, ziplib::kAesAuthSize);
  if (r == AesResult::Ok) *out = body;
  return r;
}

TEST(AesZip, RoundTripAndFailures) {
  for (size_t size : {size_t{0}, size_t{1}, size_t{16}, size_t{100000}}) {
    SCOPED_TRACE(size);
    std::string plain = RandomBytes(size, static_cast<uint32_t>(size));
    std::string entry = AesEncrypt("s3cret pass", plain);
    ASSERT_EQ(entry.size(), plain.size() + ziplib::AesOverhead(3));
    if (size >= 16) {
      EXPECT_EQ(entry.find(plain.substr(0, 16)), std::string::npos);
    }
    std::string back;
    ASSERT_EQ(AesDecrypt("s3cret pass", 3, entry, &back), AesResult::Ok);
    EXPECT_TRUE(back == plain);

    // A wrong password fails at the verifier (or, one time in 65536, at the code).
    AesResult wrong = AesDecrypt("s3cret pasS", 3, entry, &back);
    EXPECT_TRUE(wrong == AesResult::WrongPassword || wrong == AesResult::BadData);
    // A changed data byte or code byte fails the authentication.
    std::string bad = entry;
    bad[bad.size() - 1] ^= 0x01;
    EXPECT_EQ(AesDecrypt("s3cret pass", 3, bad, &back), AesResult::BadData);
    if (size > 0) {
      bad = entry;
      bad[ziplib::AesHeaderSize(3) + size / 2] ^= 0x40;
      EXPECT_EQ(AesDecrypt("s3cret pass", 3, bad, &back), AesResult::BadData);
    }
  }
  // Each entry has its own salt.
  EXPECT_NE(AesEncrypt("p", "same").substr(0, 16), AesEncrypt("p", "same").substr(0, 16));
  // Bad strength or header size.
  ziplib::AesZipDecryptor dec;
  EXPECT_EQ(dec.Begin("p", 4, "0123456789", 10), AesResult::BadParameter);
  EXPECT_EQ(dec.Begin("p", 1, "0123456789", 9), AesResult::BadParameter);
  EXPECT_EQ(dec.Decrypt(nullptr, 0), AesResult::BadParameter);
}

// Parts encrypted apart, on threads of their own and at uneven offsets, then authenticated
// in order, make the same entry as one encryption from start to end: it decrypts and passes.
// Both with the processor's instructions and with the system's routines alone.
TEST(AesZip, PartsEncryptedApartMakeOneEntry) {
  for (bool systemOnly : {false, true}) {
    SCOPED_TRACE(systemOnly ? "system routines" : "processor instructions");
    ziplib::UseSystemRoutinesOnly(systemOnly);
    const std::string plain = RandomBytes(100000, 77);
    ziplib::AesZipEncryptor enc;
    std::string header, code;
    ASSERT_EQ(enc.Begin("parts", &header), AesResult::Ok);
    std::string body = plain;
    uint8_t* p = reinterpret_cast<uint8_t*>(body.data());
    ASSERT_EQ(enc.Encrypt(p, 777), AesResult::Ok);
    const size_t cuts[] = {777, 40000, 40001, 70017, 100000};
    std::vector<std::thread> threads;
    std::vector<AesResult> results(4, AesResult::SystemError);
    for (size_t i = 3; i < 4; --i)
      threads.emplace_back([&, i] { results[i] = enc.EncryptPart(cuts[i], p + cuts[i], cuts[i + 1] - cuts[i]); });
    for (auto& t : threads) t.join();
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(results[i], AesResult::Ok) << i;
      ASSERT_EQ(enc.Authenticate(p + cuts[i], cuts[i + 1] - cuts[i]), AesResult::Ok);
    }
    ASSERT_EQ(enc.Finish(&code), AesResult::Ok);
    std::string back;
    ASSERT_EQ(AesDecrypt("parts", 3, header + body + code, &back), AesResult::Ok);
    EXPECT_TRUE(back == plain);
  }
  ziplib::UseSystemRoutinesOnly(false);
}

// The derivation on the processor's SHA instructions gives the system's keys, for passwords
// around the block size of 64 bytes and every salt size.
TEST(AesZip, KeysFromTheShaInstructionsAreTheSystems) {
  if (!ziplib::HasShaInstructions()) GTEST_SKIP() << "this processor has no SHA instructions";
  BCRYPT_ALG_HANDLE hmac = nullptr;
  ASSERT_GE(BCryptOpenAlgorithmProvider(&hmac, BCRYPT_SHA1_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG), 0);
  for (size_t pwLen : {1, 14, 55, 56, 63, 64, 65, 200}) {
    for (size_t saltLen : {8, 12, 16}) {
      for (int rounds : {1, 2, 1000}) {
        SCOPED_TRACE(std::to_string(pwLen) + " " + std::to_string(saltLen) + " " + std::to_string(rounds));
        const std::string pw = RandomBytes(pwLen, uint32_t(pwLen)), salt = RandomBytes(saltLen, uint32_t(saltLen + rounds));
        uint8_t ours[66], system[66];
        ASSERT_TRUE(ziplib::Pbkdf2Sha1(pw, reinterpret_cast<const uint8_t*>(salt.data()), saltLen, rounds, ours, 66));
        ASSERT_GE(BCryptDeriveKeyPBKDF2(hmac, reinterpret_cast<PUCHAR>(const_cast<char*>(pw.data())), ULONG(pwLen),
                                        reinterpret_cast<PUCHAR>(const_cast<char*>(salt.data())), ULONG(saltLen), rounds,
                                        system, 66, 0),
                  0);
        EXPECT_EQ(0, std::memcmp(ours, system, 66));
      }
    }
  }
  BCryptCloseAlgorithmProvider(hmac, 0);
}

// The authentication code from the SHA instructions is the system's HMAC-SHA1, for keys
// around the block size and data given in uneven pieces.
TEST(AesZip, CodeFromTheShaInstructionsIsTheSystems) {
  if (!ziplib::HasShaInstructions()) GTEST_SKIP() << "this processor has no SHA instructions";
  BCRYPT_ALG_HANDLE alg = nullptr;
  ASSERT_GE(BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA1_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG), 0);
  const std::string data = RandomBytes(70000, 9);
  for (size_t keyLen : {20, 32, 64, 65, 100}) {
    for (size_t size : {0, 1, 55, 56, 64, 65, 70000}) {
      SCOPED_TRACE(std::to_string(keyLen) + " " + std::to_string(size));
      const std::string key = RandomBytes(keyLen, uint32_t(keyLen));
      const uint8_t* k = reinterpret_cast<const uint8_t*>(key.data());
      const uint8_t* d = reinterpret_cast<const uint8_t*>(data.data());
      ziplib::HmacSha1 ours;
      ours.Init(k, keyLen);
      for (size_t pos = 0, step = 1; pos < size; pos += step, step = step * 3 + 7)
        ours.Update(d + pos, std::min(step, size - pos));
      uint8_t mine[20], system[20];
      ours.Final(mine);
      BCRYPT_HASH_HANDLE h = nullptr;
      ASSERT_GE(BCryptCreateHash(alg, &h, nullptr, 0, const_cast<PUCHAR>(k), ULONG(keyLen), 0), 0);
      ASSERT_GE(BCryptHashData(h, const_cast<PUCHAR>(d), ULONG(size), 0), 0);
      ASSERT_GE(BCryptFinishHash(h, system, 20, 0), 0);
      BCryptDestroyHash(h);
      EXPECT_EQ(0, std::memcmp(mine, system, 20));
    }
  }
  BCryptCloseAlgorithmProvider(alg, 0);
}

// The key stream from the processor's AES instructions is the system's AES-256 over the
// counter blocks, from any counter (the 64-bit counter carrying past 32 bits included) and
// from any byte inside a block.
TEST(AesZip, KeyStreamFromTheAesInstructionsIsTheSystems) {
  if (!ziplib::HasAesInstructions()) GTEST_SKIP() << "this processor has no AES instructions";
  const std::string key = RandomBytes(32, 5);
  ziplib::AesRoundKeys rounds;
  ziplib::ExpandAes256Key(reinterpret_cast<const uint8_t*>(key.data()), &rounds);
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_KEY_HANDLE k = nullptr;
  ASSERT_GE(BCryptOpenAlgorithmProvider(&alg, BCRYPT_AES_ALGORITHM, nullptr, 0), 0);
  ASSERT_GE(BCryptSetProperty(alg, BCRYPT_CHAINING_MODE, reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB)),
                              sizeof(BCRYPT_CHAIN_MODE_ECB), 0),
            0);
  ASSERT_GE(BCryptGenerateSymmetricKey(alg, &k, nullptr, 0, reinterpret_cast<PUCHAR>(const_cast<char*>(key.data())), 32, 0), 0);
  for (uint64_t counter : {uint64_t{1}, uint64_t{0xFFFFFFFAu}}) {
    for (size_t skip : {size_t{0}, size_t{5}}) {
      SCOPED_TRACE(std::to_string(counter) + " " + std::to_string(skip));
      std::string blocks(40 * 16, '\0'), system(blocks.size(), '\0');
      for (size_t b = 0; b < 40; ++b)
        for (int i = 0; i < 8; ++i) blocks[b * 16 + i] = char((counter + b) >> (8 * i));
      ULONG done = 0;
      ASSERT_GE(BCryptEncrypt(k, reinterpret_cast<PUCHAR>(blocks.data()), ULONG(blocks.size()), nullptr, nullptr, 0,
                              reinterpret_cast<PUCHAR>(system.data()), ULONG(system.size()), &done, 0),
                0);
      std::string ours(system.size() - skip - 3, '\0');   // zeros: the key stream itself
      ziplib::XorAesKeyStream(rounds, counter, skip, reinterpret_cast<uint8_t*>(ours.data()), ours.size());
      EXPECT_TRUE(ours == system.substr(skip, ours.size()));
    }
  }
  BCryptDestroyKey(k);
  BCryptCloseAlgorithmProvider(alg, 0);
}

TEST(AesZip, ExtraRecord) {
  std::string x = ziplib::AesExtraField(9);
  EXPECT_EQ(x, std::string("\x01\x99\x07\x00\x02\x00" "AE\x03\x09\x00", 11));
  ziplib::AesExtraInfo info;
  std::string withOthers = std::string("\x0a\x00\x04\x00" "abcd", 8) + x;
  ASSERT_TRUE(ziplib::FindAesExtra(withOthers.data(), withOthers.size(), &info));
  EXPECT_EQ(info.vendorVersion, 2);
  EXPECT_EQ(info.strength, 3);
  EXPECT_EQ(info.method, 9);
  std::string badVendor = x;
  badVendor[6] = 'X';
  EXPECT_FALSE(ziplib::FindAesExtra(badVendor.data(), badVendor.size(), &info));
  EXPECT_FALSE(ziplib::FindAesExtra(x.data(), x.size() - 1, &info));  // cut short
  EXPECT_FALSE(ziplib::FindAesExtra("", 0, &info));
}

// 7z's AES zips of all three strengths decrypt to the original (deflated inside), with the
// processor's instructions and with the system's routines alone.
TEST(AesZip, Decrypts7zEntries) {
  for (bool systemOnly : {false, true}) {
    SCOPED_TRACE(systemOnly ? "system routines" : "processor instructions");
    ziplib::UseSystemRoutinesOnly(systemOnly);
    qbtest::TempDir dir;
    std::string data = RepetitiveText(150000, 41) + RandomBytes(5000, 41);
    qbtest::WriteFile(dir / "f.txt", data);
    const char* kinds[] = {"AES128", "AES192", "AES256"};
    for (int strength = 1; strength <= 3; ++strength) {
      SCOPED_TRACE(kinds[strength - 1]);
      std::string zip = dir / (std::string(kinds[strength - 1]) + ".zip");
      std::string log;
      ASSERT_EQ(qbtest::RunUnix("cd " + Quote(dir.path()) + " && 7z a -tzip -mm=Deflate -mem=" + kinds[strength - 1] +
                                    " -pPASSWORD " + Quote(zip) + " f.txt",
                                &log),
                0)
          << log;
      RawEntry e;
      ASSERT_TRUE(ReadFirstEntry(qbtest::ReadFile(zip), &e));
      EXPECT_EQ(e.method, ziplib::kAesMethod);
      EXPECT_TRUE(e.flags & 1);
      ziplib::AesExtraInfo info;
      ASSERT_TRUE(ziplib::FindAesExtra(e.localExtra.data(), e.localExtra.size(), &info));
      EXPECT_EQ(info.strength, strength);
      EXPECT_EQ(info.method, 8);
      std::string comp, plain;
      ASSERT_EQ(AesDecrypt("PASSWORD", info.strength, e.data, &comp), AesResult::Ok);
      ASSERT_TRUE(Inflate(comp, &plain));
      EXPECT_TRUE(plain == data);
      AesResult wrong = AesDecrypt("password", info.strength, e.data, &comp);
      EXPECT_TRUE(wrong == AesResult::WrongPassword || wrong == AesResult::BadData);
    }
  }
  ziplib::UseSystemRoutinesOnly(false);
}

// Our AE-2 entry (Deflate64 inside) passes 7z's test with the password and fails without it.
TEST(AesZip, OurEntryPasses7zTest) {
  qbtest::TempDir dir;
  std::string data = RepetitiveText(300000, 51);
  std::string comp = ziplib::Deflate64EncodeBuffer(data.data(), data.size(), 6);
  std::string entry = AesEncrypt("PASSWORD", comp);
  std::string zip = dir / "aes.zip";
  // AE-2: CRC 0, method 99, bit 0, the real method in the extra record.
  qbtest::WriteFile(zip, OneEntryZip("data.txt", ziplib::kAesMethod, 1, 0, data.size(), ziplib::AesExtraField(9), entry));
  std::string log;
  EXPECT_EQ(qbtest::RunUnix("7z t -pPASSWORD " + Quote(zip), &log), 0) << log;
  EXPECT_NE(log.find("Everything is Ok"), std::string::npos) << log;
  EXPECT_NE(qbtest::RunUnix("7z t -pWRONG " + Quote(zip), &log), 0) << log;
  // Round trip through our own side as well.
  ziplib::AesExtraInfo info;
  RawEntry e;
  ASSERT_TRUE(ReadFirstEntry(qbtest::ReadFile(zip), &e));
  ASSERT_TRUE(ziplib::FindAesExtra(e.localExtra.data(), e.localExtra.size(), &info));
  std::string back, plain;
  ASSERT_EQ(AesDecrypt("PASSWORD", info.strength, e.data, &back), AesResult::Ok);
  ASSERT_EQ(ziplib::Deflate64DecodeBuffer(back.data(), back.size(), &plain), ziplib::D64Result::Ok);
  EXPECT_TRUE(plain == data);
}

// Decrypts the entry of a zip made by `zip -P`; false when the check byte refuses the password.
bool PkDecrypt(const RawEntry& e, const std::string& password, std::string* plain) {
  if (e.data.size() < ziplib::kPkHeaderSize) return false;
  ziplib::PkDecryptor dec;
  if (!dec.Begin(password, reinterpret_cast<const uint8_t*>(e.data.data()), ziplib::PkCheckByte(e.flags, e.crc, e.time)))
    return false;
  std::string body = e.data.substr(ziplib::kPkHeaderSize);
  dec.Decrypt(reinterpret_cast<uint8_t*>(body.data()), body.size() / 2);
  dec.Decrypt(reinterpret_cast<uint8_t*>(body.data()) + body.size() / 2, body.size() - body.size() / 2);
  if (e.method == 0) {
    *plain = body;
    return true;
  }
  return e.method == 8 && Inflate(body, plain);
}

TEST(PkCrypt, DecryptsZipEntries) {
  qbtest::TempDir dir;
  std::string data = RepetitiveText(80000, 61);
  qbtest::WriteFile(dir / "f.txt", data);
  struct Case {
    const char* name;
    std::string cmd;
    bool descriptor;
  } cases[] = {
      // zip writes the sizes after the data (bit 3): the check byte is the time's high byte.
      {"deflated", "zip -q -P pa55word deflated.zip f.txt", true},
      {"stored", "zip -q -0 -P pa55word stored.zip f.txt", true},
      // 7z writes them in front: the check byte is the CRC's high byte.
      {"crcchecked", "7z a -tzip -mem=ZipCrypto -ppa55word crcchecked.zip f.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string log;
    ASSERT_EQ(qbtest::RunUnix("cd " + Quote(dir.path()) + " && " + c.cmd, &log), 0) << log;
    RawEntry e;
    ASSERT_TRUE(ReadFirstEntry(qbtest::ReadFile(dir / (std::string(c.name) + ".zip")), &e));
    EXPECT_TRUE(e.flags & 1);
    EXPECT_EQ((e.flags & 8) != 0, c.descriptor);
    std::string plain;
    ASSERT_TRUE(PkDecrypt(e, "pa55word", &plain));
    EXPECT_TRUE(plain == data);
    EXPECT_EQ(Crc(plain), e.crc);

    // Wrong passwords: the check byte refuses nearly all (1 in 256 passes it by chance); one that
    // slips through never yields the data.
    int refused = 0;
    for (int i = 0; i < 16; ++i) {
      std::string out;
      if (!PkDecrypt(e, "wrong" + std::to_string(i), &out)) ++refused;
      else EXPECT_NE(Crc(out), e.crc);
    }
    EXPECT_GE(refused, 14);
  }
}

TEST(PkCrypt, CheckByte) {
  EXPECT_EQ(ziplib::PkCheckByte(0, 0xA1B2C3D4u, 0x1234), 0xA1);
  EXPECT_EQ(ziplib::PkCheckByte(8, 0xA1B2C3D4u, 0x1234), 0x12);
}

}  // namespace
