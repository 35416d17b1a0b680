// Codec benchmark: Deflate64 compression and decompression per level beside zlib's deflate at
// the same level, and AES (AE-2) throughput, on generated data. Prints sizes and MB/s.
#include <windows.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "ziplib/aes_zip.h"
#include "ziplib/deflate64_dec.h"
#include "ziplib/deflate64_enc.h"

namespace {

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string Text(size_t n) {
  static const char* words[] = {"backup ", "profile ", "volume ", "archive ", "schedule ", "the ", "of ",
                                "Quillbank ", "file\r\n", "folder ", "2026-12-09 ", "error ", "C:\\Data\\"};
  std::mt19937 g(1);
  std::string s;
  while (s.size() < n) {
    s += words[g() % 13];
    if (g() % 16 == 0) s += std::to_string(g() % 100000);
  }
  s.resize(n);
  return s;
}

std::string Random(size_t n) {
  std::mt19937 g(2);
  std::string s(n, '\0');
  for (auto& c : s) c = static_cast<char>(g());
  return s;
}

// Text with binary stretches and repeats 32..64 KiB apart.
std::string Mixed(size_t n) {
  std::string t = Text(n / 2), r = Random(n / 8), s;
  while (s.size() < n) {
    s += t.substr(s.size() % (t.size() - 40000), 40000);
    s += r.substr(s.size() % (r.size() - 5000), 5000);
  }
  s.resize(n);
  return s;
}

size_t ZlibDeflate(const std::string& in, int level) {
  z_stream z{};
  deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> out(deflateBound(&z, in.size()));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  size_t n = z.total_out;
  deflateEnd(&z);
  return n;
}

}  // namespace

int main() {
  const size_t kSize = 32 << 20;
  struct Set {
    const char* name;
    std::string data;
  } sets[] = {{"text", Text(kSize)}, {"mixed", Mixed(kSize)}, {"random", Random(kSize / 4)}};
  std::printf("%-7s %5s %12s %9s %9s %12s %9s %8s\n", "data", "level", "d64 bytes", "enc MB/s", "dec MB/s",
              "zlib bytes", "zlib MB/s", "d64/zlib");
  for (auto& s : sets) {
    double mb = s.data.size() / 1e6;
    for (int level : {1, 3, 6, 9}) {
      double t0 = Now();
      std::string comp = ziplib::Deflate64EncodeBuffer(s.data.data(), s.data.size(), level);
      double t1 = Now();
      std::string back;
      ziplib::D64Result r = ziplib::Deflate64DecodeBuffer(comp.data(), comp.size(), &back);
      double t2 = Now();
      size_t zsize = ZlibDeflate(s.data, level);
      double t3 = Now();
      if (r != ziplib::D64Result::Ok || back != s.data) {
        std::printf("%s level %d: ROUND TRIP FAILED\n", s.name, level);
        return 1;
      }
      std::printf("%-7s %5d %12zu %9.1f %9.1f %12zu %9.1f %8.3f\n", s.name, level, comp.size(), mb / (t1 - t0),
                  mb / (t2 - t1), zsize, mb / (t3 - t2), static_cast<double>(comp.size()) / zsize);
    }
  }
  std::string data = Random(kSize);
  ziplib::AesZipEncryptor enc;
  std::string header, code;
  double t0 = Now();
  enc.Begin("benchmark password", &header);
  double t1 = Now();
  enc.Encrypt(reinterpret_cast<uint8_t*>(data.data()), data.size());
  enc.Finish(&code);
  double t2 = Now();
  std::printf("AES-256 key derivation %.1f ms, encrypt+MAC %.1f MB/s\n", (t1 - t0) * 1e3, data.size() / 1e6 / (t2 - t1));
  return 0;
}
