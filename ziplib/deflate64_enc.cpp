// Deflate64 encoder. The match finder keeps 256 KiB of input: the 64 KiB history, the
// lookahead (up to the longest match we look for) and room to append; it slides by 128 KiB so
// that hash chain slots (indexed modulo 128 KiB) keep their meaning.
#include "ziplib/deflate64_enc.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <vector>

#include "ziplib/deflate64_tables.h"

namespace ziplib {
namespace {

using namespace d64;

constexpr int kCap = 4 * kWindow;
constexpr int kSlide = 2 * kWindow;
constexpr int kPrevMask = 2 * kWindow - 1;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 32768;        // code 285 allows 65538; this bounds the lookahead
constexpr int kLook = kMaxMatch + 8;    // lookahead kept while more input may come
constexpr int kHashBits = 16;
constexpr int kBlockSymbols = 16384;
constexpr int kTooFar = 4096;           // a 3-byte match further back costs more than literals
constexpr int kNil = -1;

struct Config {
  uint16_t good, lazy, nice, chain;  // for levels 1..3 `lazy` is the longest match whose positions are hashed
};
constexpr Config kConfig[10] = {{4, 4, 8, 4},       {4, 4, 8, 4},       {4, 5, 16, 8},     {4, 6, 32, 32},
                                {4, 4, 16, 16},     {8, 16, 32, 32},    {8, 16, 128, 128}, {8, 32, 128, 256},
                                {32, 128, 258, 1024}, {32, 258, 258, 4096}};

struct Tables {
  uint8_t lenCode[259];   // length 3..258 -> index 0..27
  uint8_t distCode[kWindow];  // distance - 1 -> code
  Tables() {
    for (int c = 0; c < 28; ++c)
      for (int l = kLenBase[c]; l < kLenBase[c] + (1 << kLenExtra[c]) && l <= 258; ++l) lenCode[l] = static_cast<uint8_t>(c);
    for (int c = 0; c < kNumDistCodes; ++c)
      for (uint32_t d = kDistBase[c]; d < kDistBase[c] + (1u << kDistExtra[c]) && d <= static_cast<uint32_t>(kWindow); ++d)
        distCode[d - 1] = static_cast<uint8_t>(c);
  }
};
const Tables& T() {
  static const Tables t;
  return t;
}

inline int LenIndex(int len) { return len <= 258 ? T().lenCode[len] : 28; }

// Huffman code lengths limited to `limit` bits; halves the frequencies until the tree fits.
void BuildLengths(const uint32_t* freq, int n, int limit, uint8_t* lens) {
  std::vector<uint32_t> f(freq, freq + n);
  for (;;) {
    std::fill(lens, lens + n, 0);
    std::vector<int> parent(2 * n, -1);
    using Node = std::pair<uint64_t, int>;
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> q;
    int used = 0;
    for (int i = 0; i < n; ++i)
      if (f[i]) {
        q.push({f[i], i});
        ++used;
      }
    if (used == 0) return;
    if (used == 1) {
      lens[q.top().second] = 1;
      return;
    }
    int next = n;
    while (q.size() > 1) {
      Node a = q.top();
      q.pop();
      Node b = q.top();
      q.pop();
      parent[a.second] = next;
      parent[b.second] = next;
      q.push({a.first + b.first, next++});
    }
    int maxLen = 0;
    for (int i = 0; i < n; ++i) {
      if (!f[i]) continue;
      int d = 0;
      for (int p = i; parent[p] >= 0; p = parent[p]) ++d;
      lens[i] = static_cast<uint8_t>(std::min(d, 255));
      maxLen = std::max(maxLen, d);
    }
    if (maxLen <= limit) return;
    for (auto& v : f)
      if (v) v = (v + 1) / 2;
  }
}

// Canonical codes, bit-reversed for LSB-first output.
void BuildCodes(const uint8_t* lens, int n, uint16_t* codes) {
  uint16_t count[16] = {}, next[16] = {};
  for (int i = 0; i < n; ++i) count[lens[i]]++;
  count[0] = 0;
  uint16_t code = 0;
  for (int b = 1; b < 16; ++b) {
    code = static_cast<uint16_t>((code + count[b - 1]) << 1);
    next[b] = code;
  }
  for (int i = 0; i < n; ++i) {
    int len = lens[i];
    if (!len) continue;
    uint16_t c = next[len]++;
    uint16_t r = 0;
    for (int b = 0; b < len; ++b) r = static_cast<uint16_t>(r | (((c >> b) & 1) << (len - 1 - b)));
    codes[i] = r;
  }
}

// At least two used codes, so that no decoder meets a one-code tree.
void EnsureTwo(uint32_t* freq, int n) {
  int used = 0;
  for (int i = 0; i < n; ++i) used += freq[i] != 0;
  for (int i = 0; used < 2 && i < n; ++i)
    if (!freq[i]) {
      freq[i] = 1;
      ++used;
    }
}

}  // namespace

class Deflate64Encoder::Impl {
 public:
  Impl(int level, D64Sink sink)
      : cfg_(kConfig[std::clamp(level, 1, 9)]), greedy_(std::clamp(level, 1, 9) <= 3), sink_(std::move(sink)) {
    buf_.assign(kCap + 16, 0);
    head_.assign(1 << kHashBits, kNil);
    prev_.assign(2 * kWindow, kNil);
    syms_.reserve(kBlockSymbols + 1);
    out_.reserve(1 << 17);
  }

  void SetDictionary(const uint8_t* data, size_t size) {
    if (end_ != 0 || size == 0) return;
    if (size > static_cast<size_t>(kWindow)) {
      data += size - kWindow;
      size = kWindow;
    }
    std::memcpy(buf_.data(), data, size);
    end_ = pos_ = static_cast<int>(size);
    for (int p = 0; p + kMinMatch <= end_; ++p) Insert(p);
    emittedEnd_ = end_;
    blockStart_ = end_;
  }

  bool Write(const uint8_t* data, size_t size) {
    bytesIn_ += size;
    while (size > 0 && ok_) {
      if (end_ == kCap) Slide();
      size_t n = std::min(size, static_cast<size_t>(kCap - end_));
      std::memcpy(buf_.data() + end_, data, n);
      end_ += static_cast<int>(n);
      data += n;
      size -= n;
      Process(false);
    }
    Drain(false);
    return ok_;
  }

  bool Finish() {
    if (finished_) return ok_;
    finished_ = true;
    Process(true);
    if (matchAvail_) EmitLiteral(pos_ - 1);
    matchAvail_ = false;
    FlushBlock(true);
    AlignToByte();
    Drain(true);
    return ok_;
  }

  bool Flush() {
    if (finished_) return ok_;
    Process(true);
    if (matchAvail_) EmitLiteral(pos_ - 1);
    matchAvail_ = false;
    matchLen_ = prevLen_ = kMinMatch - 1;
    if (!syms_.empty()) FlushBlock(false);
    // Empty stored block: not final, type 0, then LEN 0 and NLEN 0xFFFF from a byte boundary.
    PutBits(0, 3);
    AlignToByte();
    PutBits(0, 16);
    PutBits(0xFFFF, 16);
    Drain(true);
    return ok_;
  }

  uint64_t bytesIn_ = 0, bytesOut_ = 0;

 private:
  // --- match finder ---
  uint32_t Hash(int p) const {
    uint32_t v;
    std::memcpy(&v, buf_.data() + p, 4);
    return ((v & 0xFFFFFFu) * 2654435761u) >> (32 - kHashBits);
  }
  int Insert(int p) {
    uint32_t h = Hash(p);
    int r = head_[h];
    prev_[p & kPrevMask] = r;
    head_[h] = p;
    return r;
  }
  void Slide() {
    std::memmove(buf_.data(), buf_.data() + kSlide, end_ - kSlide);
    end_ -= kSlide;
    pos_ -= kSlide;
    matchStart_ -= kSlide;
    prevMatch_ -= kSlide;
    emittedEnd_ -= kSlide;
    blockStart_ -= kSlide;  // negative: the block's raw bytes are gone (no stored block)
    for (int& v : head_) v = v >= kSlide ? v - kSlide : kNil;
    for (int& v : prev_) v = v >= kSlide ? v - kSlide : kNil;
  }
  static int MatchLength(const uint8_t* a, const uint8_t* b, int maxLen) {
    int n = 0;
    while (n < maxLen) {
      uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) {
        n += __builtin_ctzll(x ^ y) >> 3;
        break;
      }
      n += 8;
    }
    return std::min(n, maxLen);
  }
  // Longest match at pos_ longer than `best`, searching the chain from `cur`.
  int Longest(int cur, int best, int maxLen) {
    if (best >= maxLen) return best;
    int chain = cfg_.chain;
    if (best >= cfg_.good) chain >>= 2;
    int nice = std::min<int>(cfg_.nice, maxLen);
    int limit = std::max(pos_ - kWindow, 0);
    const uint8_t* s = buf_.data() + pos_;
    while (cur >= limit && cur < pos_ && chain-- > 0) {
      const uint8_t* m = buf_.data() + cur;
      if (m[best] == s[best] && m[0] == s[0] && m[1] == s[1]) {
        int len = MatchLength(m, s, maxLen);
        if (len > best) {
          best = len;
          matchStart_ = cur;
          if (len >= nice) break;
        }
      }
      cur = prev_[cur & kPrevMask];
    }
    return best;
  }

  void Process(bool finish) {
    for (;;) {
      int avail = end_ - pos_;
      if (avail == 0 || (!finish && avail < kLook)) return;
      int maxLen = std::min(kMaxMatch, avail);
      int hashHead = avail >= kMinMatch ? Insert(pos_) : kNil;
      if (greedy_) {
        int len = kMinMatch - 1;
        if (hashHead != kNil && pos_ - hashHead <= kWindow) len = Longest(hashHead, len, maxLen);
        if (len >= kMinMatch && !(len == kMinMatch && pos_ - matchStart_ > kTooFar)) {
          EmitMatch(pos_, pos_ - matchStart_, len);
          int stop = pos_ + len;
          if (len <= cfg_.lazy)
            for (int p = pos_ + 1; p < stop && p + 2 < end_; ++p) Insert(p);
          pos_ = stop;
        } else {
          EmitLiteral(pos_);
          ++pos_;
        }
        continue;
      }
      prevLen_ = matchLen_;
      prevMatch_ = matchStart_;
      matchLen_ = kMinMatch - 1;
      if (hashHead != kNil && prevLen_ < cfg_.lazy && pos_ - hashHead <= kWindow) {
        matchLen_ = Longest(hashHead, prevLen_, maxLen);
        if (matchLen_ <= prevLen_) matchLen_ = kMinMatch - 1;  // nothing better found here
        else if (matchLen_ == kMinMatch && pos_ - matchStart_ > kTooFar) matchLen_ = kMinMatch - 1;
      }
      if (prevLen_ >= kMinMatch && matchLen_ <= prevLen_) {
        int start = pos_ - 1;
        EmitMatch(start, start - prevMatch_, prevLen_);
        int stop = start + prevLen_;
        for (int p = pos_ + 1; p < stop && p + 2 < end_; ++p) Insert(p);
        pos_ = stop;
        matchAvail_ = false;
        matchLen_ = kMinMatch - 1;
      } else if (matchAvail_) {
        EmitLiteral(pos_ - 1);
        ++pos_;
      } else {
        matchAvail_ = true;
        ++pos_;
      }
    }
  }

  // --- symbols and blocks ---
  void EmitLiteral(int p) {
    syms_.push_back(buf_[p]);
    emittedEnd_ = p + 1;
    if (syms_.size() >= kBlockSymbols) FlushBlock(false);
  }
  void EmitMatch(int p, int dist, int len) {
    syms_.push_back(0x80000000u | (static_cast<uint32_t>(len - 3) << 16) | static_cast<uint32_t>(dist - 1));
    emittedEnd_ = p + len;
    if (syms_.size() >= kBlockSymbols) FlushBlock(false);
  }

  void PutBits(uint32_t v, int n) {
    bits_ |= static_cast<uint64_t>(v) << bitCount_;
    bitCount_ += n;
    if (bitCount_ >= 32) {
      uint32_t w = static_cast<uint32_t>(bits_);
      const uint8_t b[4] = {static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w >> 16),
                            static_cast<uint8_t>(w >> 24)};
      out_.insert(out_.end(), b, b + 4);
      bits_ >>= 32;
      bitCount_ -= 32;
    }
  }
  void AlignToByte() {
    if (bitCount_ % 8) PutBits(0, 8 - bitCount_ % 8);
    while (bitCount_ > 0) {
      out_.push_back(static_cast<uint8_t>(bits_));
      bits_ >>= 8;
      bitCount_ -= 8;
    }
  }
  void Drain(bool all) {
    if (!ok_ || out_.empty() || (!all && out_.size() < (1 << 16))) return;
    bytesOut_ += out_.size();
    if (!sink_(out_.data(), out_.size())) ok_ = false;
    out_.clear();
  }

  void WriteSymbols(const uint16_t* litCodes, const uint8_t* litLens, const uint16_t* distCodes,
                    const uint8_t* distLens) {
    for (uint32_t s : syms_) {
      if (!(s & 0x80000000u)) {
        PutBits(litCodes[s], litLens[s]);
        continue;
      }
      int len = static_cast<int>((s >> 16) & 0x7FFF) + 3;
      int dist = static_cast<int>(s & 0xFFFF) + 1;
      int li = LenIndex(len);
      PutBits(litCodes[257 + li], litLens[257 + li]);
      if (kLenExtra[li]) PutBits(static_cast<uint32_t>(len - kLenBase[li]), kLenExtra[li]);
      int dc = T().distCode[dist - 1];
      PutBits(distCodes[dc], distLens[dc]);
      if (kDistExtra[dc]) PutBits(static_cast<uint32_t>(dist) - kDistBase[dc], kDistExtra[dc]);
    }
    PutBits(litCodes[256], litLens[256]);
  }

  void FlushBlock(bool last) {
    uint32_t litF[286] = {}, distF[kNumDistCodes] = {};
    uint64_t extra = 0;
    for (uint32_t s : syms_) {
      if (!(s & 0x80000000u)) {
        litF[s]++;
        continue;
      }
      int li = LenIndex(static_cast<int>((s >> 16) & 0x7FFF) + 3);
      int dc = T().distCode[s & 0xFFFF];
      litF[257 + li]++;
      distF[dc]++;
      extra += kLenExtra[li] + kDistExtra[dc];
    }
    litF[256] = 1;
    const int64_t rawLen = emittedEnd_ - blockStart_;

    // Fixed-code cost.
    uint8_t fixLit[288], fixDist[kNumDistCodes];
    for (int i = 0; i < 288; ++i) fixLit[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
    std::fill(fixDist, fixDist + kNumDistCodes, 5);
    uint64_t fixedBits = 3 + extra;
    for (int i = 0; i < 286; ++i) fixedBits += static_cast<uint64_t>(litF[i]) * fixLit[i];
    for (int i = 0; i < kNumDistCodes; ++i) fixedBits += static_cast<uint64_t>(distF[i]) * 5;

    // Dynamic-code cost.
    uint32_t litD[286], distD[kNumDistCodes];
    std::copy(litF, litF + 286, litD);
    std::copy(distF, distF + kNumDistCodes, distD);
    EnsureTwo(litD, 286);
    EnsureTwo(distD, kNumDistCodes);
    uint8_t litLens[288] = {}, distLens[kNumDistCodes] = {};
    BuildLengths(litD, 286, 15, litLens);
    BuildLengths(distD, kNumDistCodes, 15, distLens);
    int hlit = 286, hdist = kNumDistCodes;
    while (hlit > 257 && litLens[hlit - 1] == 0) --hlit;
    while (hdist > 1 && distLens[hdist - 1] == 0) --hdist;
    uint8_t all[286 + kNumDistCodes];
    std::copy(litLens, litLens + hlit, all);
    std::copy(distLens, distLens + hdist, all + hlit);
    const int nAll = hlit + hdist;
    std::vector<std::pair<uint8_t, uint8_t>> rle;  // (code-length symbol, extra value)
    for (int i = 0; i < nAll;) {
      uint8_t cur = all[i];
      int run = 1;
      while (i + run < nAll && all[i + run] == cur) ++run;
      i += run;
      if (cur == 0) {
        while (run >= 11) {
          int r = std::min(run, 138);
          rle.push_back({18, static_cast<uint8_t>(r - 11)});
          run -= r;
        }
        if (run >= 3) {
          rle.push_back({17, static_cast<uint8_t>(run - 3)});
          run = 0;
        }
        while (run-- > 0) rle.push_back({0, 0});
      } else {
        rle.push_back({cur, 0});
        --run;
        while (run >= 3) {
          int r = std::min(run, 6);
          rle.push_back({16, static_cast<uint8_t>(r - 3)});
          run -= r;
        }
        while (run-- > 0) rle.push_back({cur, 0});
      }
    }
    uint32_t clF[19] = {};
    for (auto& e : rle) clF[e.first]++;
    uint8_t clLens[19] = {};
    BuildLengths(clF, 19, 7, clLens);
    int hclen = 19;
    while (hclen > 4 && clLens[kClOrder[hclen - 1]] == 0) --hclen;
    uint64_t dynBits = 3 + 14 + 3ull * hclen + extra;
    for (auto& e : rle) dynBits += clLens[e.first] + (e.first == 16 ? 2 : e.first == 17 ? 3 : e.first == 18 ? 7 : 0);
    for (int i = 0; i < 286; ++i) dynBits += static_cast<uint64_t>(litF[i]) * litLens[i];
    for (int i = 0; i < kNumDistCodes; ++i) dynBits += static_cast<uint64_t>(distF[i]) * distLens[i];

    // Stored cost, when the block's bytes are still at hand.
    uint64_t storedBits = UINT64_MAX;
    if (blockStart_ >= 0 && rawLen >= 0) {
      uint64_t pieces = std::max<uint64_t>(1, (rawLen + 65534) / 65535);
      storedBits = pieces * (3 + 7 + 32) + 8ull * rawLen;
    }

    if (storedBits <= fixedBits && storedBits <= dynBits) {
      int64_t done = 0;
      do {
        uint32_t n = static_cast<uint32_t>(std::min<int64_t>(rawLen - done, 65535));
        bool lastPiece = done + n == rawLen;
        PutBits(last && lastPiece ? 1 : 0, 1);
        PutBits(0, 2);
        AlignToByte();
        PutBits(n, 16);
        PutBits(n ^ 0xFFFFu, 16);
        const uint8_t* p = buf_.data() + blockStart_ + done;
        out_.insert(out_.end(), p, p + n);
        done += n;
      } while (done < rawLen);
    } else if (fixedBits <= dynBits) {
      uint16_t litC[288], distC[kNumDistCodes];
      BuildCodes(fixLit, 288, litC);
      BuildCodes(fixDist, kNumDistCodes, distC);
      PutBits(last ? 1 : 0, 1);
      PutBits(1, 2);
      WriteSymbols(litC, fixLit, distC, fixDist);
    } else {
      uint16_t litC[288] = {}, distC[kNumDistCodes] = {}, clC[19] = {};
      BuildCodes(litLens, 286, litC);
      BuildCodes(distLens, kNumDistCodes, distC);
      BuildCodes(clLens, 19, clC);
      PutBits(last ? 1 : 0, 1);
      PutBits(2, 2);
      PutBits(hlit - 257, 5);
      PutBits(hdist - 1, 5);
      PutBits(hclen - 4, 4);
      for (int i = 0; i < hclen; ++i) PutBits(clLens[kClOrder[i]], 3);
      for (auto& e : rle) {
        PutBits(clC[e.first], clLens[e.first]);
        if (e.first == 16) PutBits(e.second, 2);
        else if (e.first == 17) PutBits(e.second, 3);
        else if (e.first == 18) PutBits(e.second, 7);
      }
      WriteSymbols(litC, litLens, distC, distLens);
    }
    syms_.clear();
    blockStart_ = emittedEnd_;
    Drain(false);
  }

  const Config cfg_;
  const bool greedy_;
  D64Sink sink_;
  bool ok_ = true, finished_ = false;
  std::vector<uint8_t> buf_;
  std::vector<int> head_, prev_;
  int pos_ = 0, end_ = 0;
  int matchLen_ = kMinMatch - 1, matchStart_ = 0, prevLen_ = kMinMatch - 1, prevMatch_ = 0;
  bool matchAvail_ = false;
  int emittedEnd_ = 0;
  int64_t blockStart_ = 0;
  std::vector<uint32_t> syms_;
  std::vector<uint8_t> out_;
  uint64_t bits_ = 0;
  int bitCount_ = 0;
};

Deflate64Encoder::Deflate64Encoder(int level, D64Sink sink) : impl_(new Impl(level, std::move(sink))) {}
Deflate64Encoder::~Deflate64Encoder() = default;
bool Deflate64Encoder::Write(const void* data, size_t size) {
  return impl_->Write(static_cast<const uint8_t*>(data), size);
}
bool Deflate64Encoder::Flush() { return impl_->Flush(); }
bool Deflate64Encoder::Finish() { return impl_->Finish(); }
void Deflate64Encoder::SetDictionary(const void* data, size_t size) {
  impl_->SetDictionary(static_cast<const uint8_t*>(data), size);
}
uint64_t Deflate64Encoder::BytesIn() const { return impl_->bytesIn_; }
uint64_t Deflate64Encoder::BytesOut() const { return impl_->bytesOut_; }

std::string Deflate64EncodeBuffer(const void* data, size_t size, int level) {
  std::string out;
  Deflate64Encoder enc(level, [&](const uint8_t* p, size_t n) {
    out.append(reinterpret_cast<const char*>(p), n);
    return true;
  });
  enc.Write(data, size);
  enc.Finish();
  return out;
}

}  // namespace ziplib
