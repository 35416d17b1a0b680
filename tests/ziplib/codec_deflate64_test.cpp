// Deflate64 encoder and decoder: round trips, streams made by 7z, our streams checked by 7z,
// and damaged or hostile input.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/ziplib/codec_zipfile_test.h"
#include "ziplib/deflate64_dec.h"
#include "ziplib/deflate64_enc.h"

using namespace codectest;
using ziplib::D64Result;

namespace {

// Encodes in uneven chunks, so that chunk borders fall everywhere.
std::string EncodeChunked(const std::string& in, int level) {
  std::string out;
  ziplib::Deflate64Encoder enc(level, [&](const uint8_t* p, size_t n) {
    out.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  static const size_t steps[] = {1, 7, 4093, 65536, 100000, 3};
  size_t pos = 0;
  for (int i = 0; pos < in.size(); ++i) {
    size_t n = std::min(steps[i % 6], in.size() - pos);
    EXPECT_TRUE(enc.Write(in.data() + pos, n));
    pos += n;
  }
  EXPECT_TRUE(enc.Finish());
  EXPECT_EQ(enc.BytesIn(), in.size());
  EXPECT_EQ(enc.BytesOut(), out.size());
  return out;
}

std::string Decode(const std::string& comp, D64Result* result, size_t chunk = 65536) {
  std::string out, err;
  size_t pos = 0;
  *result = ziplib::Deflate64Decode(
      [&](uint8_t* buf, size_t cap) {
        size_t n = std::min({cap, chunk, comp.size() - pos});
        std::memcpy(buf, comp.data() + pos, n);
        pos += n;
        return n;
      },
      [&](const uint8_t* p, size_t n) {
        out.append(reinterpret_cast<const char*>(p), n);
        return true;
      },
      &err);
  return out;
}

// Random blocks repeated 33 to 64 KiB later: only a 64 KiB window finds these matches.
std::string LongDistanceData() {
  std::string s;
  for (uint32_t k = 0; k < 6; ++k) {
    std::string a = RandomBytes(20000, 100 + k);
    size_t gap = 13000 + k * 8000;  // distances 33000 .. 73000: the last is beyond the window
    s += a + RandomBytes(gap, 200 + k) + a;
  }
  std::string edge = RandomBytes(65536, 7);
  s += edge + edge.substr(0, 5000);  // exactly 65536 back
  return s;
}

struct Sample {
  const char* name;
  std::string data;
};

std::vector<Sample> Samples() {
  std::string runs(300000, 'x');  // long runs use the 16-bit length code
  for (size_t i = 0; i < runs.size(); i += 70001) runs[i] = 'y';
  return {{"random", RandomBytes(300000, 1)},
          {"text", RepetitiveText(1500000, 2)},
          {"long-distance", LongDistanceData()},
          {"runs", runs},
          {"empty", ""},
          {"one byte", "Q"},
          {"exactly 64 KiB", RepetitiveText(65536, 3)}};
}

TEST(Deflate64, RoundTripsAtEveryKindOfData) {
  for (const Sample& s : Samples()) {
    for (int level : {1, 3, 4, 6, 9}) {
      SCOPED_TRACE(std::string(s.name) + " level " + std::to_string(level));
      std::string comp = EncodeChunked(s.data, level);
      D64Result r;
      std::string back = Decode(comp, &r);
      ASSERT_EQ(r, D64Result::Ok);
      ASSERT_EQ(back.size(), s.data.size());
      ASSERT_TRUE(back == s.data);
      // Stored blocks bound the growth of incompressible data.
      EXPECT_LE(comp.size(), s.data.size() + s.data.size() / 1000 + 16);
    }
  }
}

TEST(Deflate64, CompressesAsExpected) {
  // The empty stream is one fixed block holding only its end code.
  EXPECT_EQ(ziplib::Deflate64EncodeBuffer("", 0, 6), std::string("\x03\x00", 2));
  // Repeats 33..64 KiB back are found: each of the first five random pairs costs one copy.
  std::string ld = LongDistanceData();
  std::string comp = ziplib::Deflate64EncodeBuffer(ld.data(), ld.size(), 6);
  size_t unique = ld.size() - 5 * 20000 - 5000;
  EXPECT_LT(comp.size(), unique + unique / 50);
  // Higher levels are not larger on text; level 1 still compresses well.
  std::string text = RepetitiveText(1000000, 4);
  size_t s1 = ziplib::Deflate64EncodeBuffer(text.data(), text.size(), 1).size();
  size_t s9 = ziplib::Deflate64EncodeBuffer(text.data(), text.size(), 9).size();
  EXPECT_LT(s9, s1);
  EXPECT_LT(s1, text.size() / 3);
  // A long run becomes a few long copies.
  std::string run(1 << 20, '\0');
  EXPECT_LT(ziplib::Deflate64EncodeBuffer(run.data(), run.size(), 6).size(), 400u);
}

TEST(Deflate64, DecoderStreamsAndStopsCleanly) {
  std::string data = RepetitiveText(400000, 5) + RandomBytes(70000, 5);
  std::string comp = ziplib::Deflate64EncodeBuffer(data.data(), data.size(), 6);
  D64Result r;
  EXPECT_TRUE(Decode(comp, &r, 1) == data);  // a source that gives one byte at a time
  EXPECT_EQ(r, D64Result::Ok);

  // Bytes after the final block are left unread.
  std::string padded = comp + "TRAILER";
  uint64_t used = 0;
  size_t pos = 0;
  std::string out;
  r = ziplib::Deflate64Decode(
      [&](uint8_t* buf, size_t cap) {
        size_t n = std::min(cap, padded.size() - pos);
        std::memcpy(buf, padded.data() + pos, n);
        pos += n;
        return n;
      },
      [&](const uint8_t* p, size_t n) {
        out.append(reinterpret_cast<const char*>(p), n);
        return true;
      },
      nullptr, &used);
  EXPECT_EQ(r, D64Result::Ok);
  EXPECT_EQ(used, comp.size());

  // A sink that refuses stops the decoder; a bound on the output is a data error.
  r = ziplib::Deflate64DecodeBuffer(comp.data(), comp.size(), &out, 1000);
  EXPECT_EQ(r, D64Result::DataError);
  EXPECT_LE(out.size(), 1000u);
  size_t calls = 0;
  pos = 0;
  r = ziplib::Deflate64Decode(
      [&](uint8_t* buf, size_t cap) {
        size_t n = std::min(cap, comp.size() - pos);
        std::memcpy(buf, comp.data() + pos, n);
        pos += n;
        return n;
      },
      [&](const uint8_t*, size_t) { return ++calls < 1; });
  EXPECT_EQ(r, D64Result::Aborted);
  EXPECT_EQ(calls, 1u);
}

// Hand-made streams: fields are (value, bits) sent least significant bit first; a negative
// width sends a Huffman code, most significant bit first.
std::string Bits(const std::vector<std::pair<uint32_t, int>>& fields) {
  std::string s;
  uint32_t acc = 0;
  int n = 0;
  for (auto [v, width] : fields) {
    int len = width < 0 ? -width : width;
    for (int i = 0; i < len; ++i) {
      uint32_t bit = width < 0 ? (v >> (len - 1 - i)) & 1 : (v >> i) & 1;
      acc |= bit << n;
      if (++n == 8) {
        s.push_back(static_cast<char>(acc));
        acc = 0;
        n = 0;
      }
    }
  }
  if (n) s.push_back(static_cast<char>(acc));
  return s;
}

TEST(Deflate64, RejectsInvalidStreams) {
  std::string out;
  auto decode = [&](const std::string& s) { return ziplib::Deflate64DecodeBuffer(s.data(), s.size(), &out); };
  EXPECT_EQ(decode(Bits({{1, 1}, {3, 2}})), D64Result::DataError);  // block type 3
  EXPECT_EQ(decode(std::string("\x01\x05\x00\x00\x00", 5)), D64Result::DataError);  // stored length check
  EXPECT_EQ(decode(std::string("\x01\x05\x00\xfa\xffhel", 8)), D64Result::Truncated);
  EXPECT_EQ(decode(""), D64Result::Truncated);
  // Fixed block starting with a copy (length code 257, distance code 0): nothing to copy from.
  EXPECT_EQ(decode(Bits({{1, 1}, {1, 2}, {0b0000001, -7}, {0, -5}})), D64Result::DataError);
  // A copy one byte further back than the output so far.
  EXPECT_EQ(decode(Bits({{1, 1}, {1, 2}, {0x30 + 'a', -8}, {0b0000001, -7}, {1, -5}})), D64Result::DataError);
  // ... while exactly as far back is fine: 'a' then 3 more.
  EXPECT_EQ(decode(Bits({{1, 1}, {1, 2}, {0x30 + 'a', -8}, {0b0000001, -7}, {0, -5}, {0, -7}})), D64Result::Ok);
  EXPECT_EQ(out, "aaaa");
  // Literal/length symbols 286 and 287 are not lengths.
  EXPECT_EQ(decode(Bits({{1, 1}, {1, 2}, {0b11000110, -8}})), D64Result::DataError);
  EXPECT_EQ(decode(Bits({{1, 1}, {1, 2}, {0b11000111, -8}})), D64Result::DataError);
  // Length code 285 takes 16 extra bits: 'b' then a copy of 3 + 0x1234 bytes at distance 1.
  EXPECT_EQ(decode(Bits({{1, 1}, {1, 2}, {0x30 + 'b', -8}, {0b11000101, -8}, {0x1234, 16}, {0, -5}, {0, -7}})),
            D64Result::Ok);
  EXPECT_EQ(out, std::string(1 + 3 + 0x1234, 'b'));
  // Dynamic header with more than 286 literal/length codes.
  EXPECT_EQ(decode(Bits({{1, 1}, {2, 2}, {30, 5}, {0, 5}, {0, 4}})), D64Result::DataError);
  // Dynamic header whose code-length code is over-subscribed (four codes of length 1).
  EXPECT_EQ(decode(Bits({{1, 1}, {2, 2}, {0, 5}, {0, 5}, {0, 4}, {1, 3}, {1, 3}, {1, 3}, {1, 3}})),
            D64Result::DataError);
  // A valid stream cut anywhere before its end is reported as truncated, never as success.
  std::string data = RepetitiveText(100000, 9);
  std::string comp = ziplib::Deflate64EncodeBuffer(data.data(), data.size(), 9);
  for (size_t cut : {size_t{1}, comp.size() / 3, comp.size() / 2, comp.size() - 1}) {
    D64Result r = ziplib::Deflate64DecodeBuffer(comp.data(), cut, &out);
    EXPECT_NE(r, D64Result::Ok) << cut;
  }
}

TEST(Deflate64, SurvivesHostileInput) {
  std::string data = RepetitiveText(200000, 11) + RandomBytes(20000, 11);
  std::string comp = ziplib::Deflate64EncodeBuffer(data.data(), data.size(), 6);
  std::mt19937 g(12345);
  int failures = 0;
  std::string out;
  for (int i = 0; i < 300; ++i) {
    std::string bad = comp;
    int flips = 1 + static_cast<int>(g() % 8);
    for (int k = 0; k < flips; ++k) bad[g() % bad.size()] ^= static_cast<char>(1 << (g() % 8));
    D64Result r = ziplib::Deflate64DecodeBuffer(bad.data(), bad.size(), &out, 4 * data.size());
    if (r != D64Result::Ok) ++failures;
    EXPECT_LE(out.size(), 4 * data.size());
  }
  EXPECT_GT(failures, 0);
  for (int i = 0; i < 300; ++i) {
    std::string junk = RandomBytes(1 + g() % 5000, static_cast<uint32_t>(i));
    D64Result r = ziplib::Deflate64DecodeBuffer(junk.data(), junk.size(), &out, 1 << 24);
    EXPECT_LE(out.size(), size_t{1} << 24);
    (void)r;
  }
  // Dynamic block headers made of random bits after a valid "dynamic" block type.
  for (int i = 0; i < 300; ++i) {
    std::string junk = RandomBytes(64, static_cast<uint32_t>(1000 + i));
    junk[0] = static_cast<char>((junk[0] & ~7) | 5);  // final, dynamic
    ziplib::Deflate64DecodeBuffer(junk.data(), junk.size(), &out, 1 << 24);
  }
}

// Streams made by 7z decode to the original.
TEST(Deflate64, DecodesStreamsMadeBy7z) {
  qbtest::TempDir dir;
  std::vector<std::pair<std::string, std::string>> files = {
      {"text.txt", RepetitiveText(700000, 21)}, {"mixed.bin", LongDistanceData() + RandomBytes(1000, 22)}};
  for (auto& [name, data] : files) {
    for (const char* mx : {"1", "9"}) {
      SCOPED_TRACE(name + " -mx=" + mx);
      qbtest::WriteFile(dir / name, data);
      std::string zip = dir / (name + mx + ".zip");
      std::string log;
      ASSERT_EQ(qbtest::RunUnix("cd " + Quote(dir.path()) + " && 7z a -tzip -mm=Deflate64 -mx=" + mx + " " +
                                    Quote(zip) + " " + name,
                                &log),
                0)
          << log;
      RawEntry e;
      ASSERT_TRUE(ReadFirstEntry(qbtest::ReadFile(zip), &e));
      ASSERT_EQ(e.method, 9);
      D64Result r;
      std::string back = Decode(e.data, &r, 3000);
      EXPECT_EQ(r, D64Result::Ok);
      EXPECT_EQ(back.size(), data.size());
      EXPECT_TRUE(back == data);
      EXPECT_EQ(Crc(back), e.crc);
    }
  }
}

// Our streams in a minimal zip pass 7z's test, at low and high levels.
TEST(Deflate64, OurStreamsPass7zTest) {
  qbtest::TempDir dir;
  std::string data = RepetitiveText(600000, 31) + LongDistanceData() + std::string(100000, 'z') + RandomBytes(50000, 32);
  for (int level : {1, 6, 9}) {
    SCOPED_TRACE(level);
    std::string comp = EncodeChunked(data, level);
    std::string zip = dir / ("ours" + std::to_string(level) + ".zip");
    qbtest::WriteFile(zip, OneEntryZip("data.bin", 9, 0, Crc(data), data.size(), "", comp));
    std::string log;
    EXPECT_EQ(qbtest::RunUnix("7z t " + Quote(zip), &log), 0) << log;
    EXPECT_NE(log.find("Everything is Ok"), std::string::npos) << log;
  }
  // The empty and one-byte streams too.
  for (const std::string& small : {std::string(), std::string("Q")}) {
    std::string zip = dir / ("small" + std::to_string(small.size()) + ".zip");
    qbtest::WriteFile(zip, OneEntryZip("s.bin", 9, 0, Crc(small), small.size(), "",
                                       ziplib::Deflate64EncodeBuffer(small.data(), small.size(), 5)));
    std::string log;
    EXPECT_EQ(qbtest::RunUnix("7z t " + Quote(zip), &log), 0) << log;
  }
}

}  // namespace
