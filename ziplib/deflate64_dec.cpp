// Deflate64 decoder. Table-driven Huffman decoding (a 10-bit first-level table, canonical
// decoding for the rare longer codes), a linear output buffer holding the 64 KiB history,
// and a bit reader that treats the end of the source as an error rather than reading on.
#include "ziplib/deflate64_dec.h"

#include <cstring>
#include <memory>
#include <vector>

#include "ziplib/deflate64_tables.h"

namespace ziplib {
namespace {

using namespace d64;

struct Fail {
  D64Result result;
  const char* message;
};

constexpr int kMaxBits = 15;
constexpr int kFastBits = 10;

// One canonical Huffman code: a direct table for codes up to kFastBits and the count/symbol
// lists for the longer ones.
struct Huffman {
  uint16_t fast[1 << kFastBits];  // 0: not in the table; else (length << 9) | symbol
  uint16_t count[kMaxBits + 1];
  uint16_t symbol[288];
  bool hasLong;

  // Builds from code lengths; false when the lengths over-subscribe the code space. Incomplete
  // codes are accepted: an unused bit pattern is reported when it is met.
  bool Build(const uint8_t* lengths, int n) {
    std::memset(count, 0, sizeof count);
    for (int i = 0; i < n; ++i) count[lengths[i]]++;
    count[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
      left <<= 1;
      left -= count[len];
      if (left < 0) return false;
    }
    uint16_t offs[kMaxBits + 2];
    offs[1] = 0;
    for (int len = 1; len <= kMaxBits; ++len) offs[len + 1] = offs[len] + count[len];
    for (int i = 0; i < n; ++i)
      if (lengths[i]) symbol[offs[lengths[i]]++] = static_cast<uint16_t>(i);
    std::memset(fast, 0, sizeof fast);
    hasLong = false;
    // Canonical codes, assigned in order of length then symbol.
    uint32_t code = 0;
    int index = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      for (int k = 0; k < count[len]; ++k, ++index, ++code) {
        if (len > kFastBits) {
          hasLong = true;
          continue;
        }
        uint32_t rev = 0;
        for (int b = 0; b < len; ++b) rev |= ((code >> b) & 1u) << (len - 1 - b);
        uint16_t entry = static_cast<uint16_t>((len << 9) | symbol[index]);
        for (uint32_t f = rev; f < (1u << kFastBits); f += (1u << len)) fast[f] = entry;
      }
      code <<= 1;
    }
    return true;
  }
};

class Decoder {
 public:
  Decoder(const D64Source& source, const D64Sink& sink) : source_(source), sink_(sink) {
    in_.resize(kInSize);
    out_.reset(new uint8_t[kOutSize]);
  }

  D64Result Run(std::string* error, uint64_t* consumed) {
    D64Result result = D64Result::Ok;
    try {
      bool last = false;
      while (!last) {
        last = Bits(1) != 0;
        switch (Bits(2)) {
          case 0: Stored(); break;
          case 1: FixedTables(); Codes(); break;
          case 2: DynamicTables(); Codes(); break;
          default: throw Fail{D64Result::DataError, "invalid block type"};
        }
      }
      Flush();
    } catch (const Fail& f) {
      result = f.result;
      if (error) *error = f.message;
    }
    if (consumed) *consumed = read_ - (inEnd_ - inPos_) - static_cast<uint64_t>(bitCount_ - pad_) / 8;
    return result;
  }

 private:
  static constexpr size_t kInSize = 32768;
  static constexpr size_t kOutSize = 4 * kWindow;
  static constexpr size_t kFlushAt = 3 * kWindow;  // leaves room for the longest match

  // --- bits ---
  void Refill() {
    while (bitCount_ <= 56) {
      if (inPos_ == inEnd_) {
        if (!eof_) {
          inEnd_ = source_(in_.data(), in_.size());
          if (inEnd_ > in_.size()) inEnd_ = 0;
          inPos_ = 0;
          read_ += inEnd_;
          if (inEnd_ == 0) eof_ = true;
          continue;
        }
        // Past the end: zero bits that may be peeked but never consumed.
        bitCount_ += 8;
        pad_ += 8;
        continue;
      }
      bits_ |= static_cast<uint64_t>(in_[inPos_++]) << bitCount_;
      bitCount_ += 8;
    }
  }
  void Drop(int n) {
    if (n > bitCount_ - pad_) throw Fail{D64Result::Truncated, "unexpected end of compressed data"};
    bits_ >>= n;
    bitCount_ -= n;
  }
  uint32_t Bits(int n) {
    if (bitCount_ < n) Refill();
    uint32_t v = static_cast<uint32_t>(bits_ & ((1ull << n) - 1));
    Drop(n);
    return v;
  }

  int Decode(const Huffman& h) {
    if (bitCount_ < kMaxBits) Refill();
    uint16_t e = h.fast[bits_ & ((1u << kFastBits) - 1)];
    if (e) {
      Drop(e >> 9);
      return e & 511;
    }
    if (!h.hasLong) throw Fail{D64Result::DataError, "invalid Huffman code"};
    // Canonical decoding, one bit at a time, for codes longer than the table.
    int code = 0, first = 0, index = 0;
    uint64_t b = bits_;
    for (int len = 1; len <= kMaxBits; ++len) {
      code |= static_cast<int>(b & 1);
      b >>= 1;
      int cnt = h.count[len];
      if (code - cnt < first) {
        Drop(len);
        return h.symbol[index + (code - first)];
      }
      index += cnt;
      first += cnt;
      first <<= 1;
      code <<= 1;
    }
    throw Fail{D64Result::DataError, "invalid Huffman code"};
  }

  // --- output ---
  void Flush() {
    if (outPos_ > flushed_) {
      if (!sink_(out_.get() + flushed_, outPos_ - flushed_)) throw Fail{D64Result::Aborted, "stopped by the caller"};
      flushed_ = outPos_;
    }
  }
  void Room() {
    if (outPos_ < kFlushAt) return;
    Flush();
    std::memmove(out_.get(), out_.get() + outPos_ - kWindow, kWindow);
    outPos_ = flushed_ = kWindow;
  }

  // --- blocks ---
  void Stored() {
    Drop((bitCount_ - pad_) % 8);  // to the byte boundary
    uint32_t len = Bits(16);
    uint32_t nlen = Bits(16);
    if ((len ^ 0xFFFFu) != nlen) throw Fail{D64Result::DataError, "invalid stored block lengths"};
    while (len > 0) {
      Room();
      size_t room = kOutSize - outPos_;
      // Bytes still in the bit buffer come first, then straight from the input buffer.
      while (len > 0 && bitCount_ - pad_ >= 8 && room > 0) {
        out_[outPos_++] = static_cast<uint8_t>(Bits(8));
        --len;
        --room;
        ++total_;
      }
      if (len == 0) break;
      if (bitCount_ - pad_ > 0 && bitCount_ - pad_ < 8) throw Fail{D64Result::DataError, "misaligned stored block"};
      if (room == 0) continue;
      if (inPos_ == inEnd_) {
        if (eof_) throw Fail{D64Result::Truncated, "unexpected end of compressed data"};
        bits_ = 0;
        bitCount_ = pad_ = 0;
        inEnd_ = source_(in_.data(), in_.size());
        if (inEnd_ > in_.size()) inEnd_ = 0;
        inPos_ = 0;
        read_ += inEnd_;
        if (inEnd_ == 0) eof_ = true;
        continue;
      }
      // Bit buffer is empty here (all of it was real bytes and has been taken).
      bits_ = 0;
      bitCount_ = pad_ = 0;
      size_t n = inEnd_ - inPos_;
      if (n > len) n = len;
      if (n > room) n = room;
      std::memcpy(out_.get() + outPos_, in_.data() + inPos_, n);
      inPos_ += n;
      outPos_ += n;
      total_ += n;
      len -= static_cast<uint32_t>(n);
    }
  }

  void FixedTables() {
    if (!fixedBuilt_) {
      uint8_t l[288];
      for (int i = 0; i < 144; ++i) l[i] = 8;
      for (int i = 144; i < 256; ++i) l[i] = 9;
      for (int i = 256; i < 280; ++i) l[i] = 7;
      for (int i = 280; i < 288; ++i) l[i] = 8;
      fixedLit_.Build(l, 288);
      uint8_t d[kNumDistCodes];
      std::memset(d, 5, sizeof d);
      fixedDist_.Build(d, kNumDistCodes);
      fixedBuilt_ = true;
    }
    lit_ = &fixedLit_;
    dist_ = &fixedDist_;
  }

  void DynamicTables() {
    int nlen = static_cast<int>(Bits(5)) + 257;
    int ndist = static_cast<int>(Bits(5)) + 1;
    int ncode = static_cast<int>(Bits(4)) + 4;
    if (nlen > 286) throw Fail{D64Result::DataError, "too many length codes"};
    uint8_t lengths[288 + 32] = {};
    uint8_t cl[19] = {};
    for (int i = 0; i < ncode; ++i) cl[kClOrder[i]] = static_cast<uint8_t>(Bits(3));
    if (!clTable_.Build(cl, 19)) throw Fail{D64Result::DataError, "invalid code-length code"};
    int i = 0;
    while (i < nlen + ndist) {
      int sym = Decode(clTable_);
      if (sym < 16) {
        lengths[i++] = static_cast<uint8_t>(sym);
        continue;
      }
      int rep;
      uint8_t val = 0;
      if (sym == 16) {
        if (i == 0) throw Fail{D64Result::DataError, "repeat with no previous length"};
        val = lengths[i - 1];
        rep = 3 + static_cast<int>(Bits(2));
      } else if (sym == 17) {
        rep = 3 + static_cast<int>(Bits(3));
      } else {
        rep = 11 + static_cast<int>(Bits(7));
      }
      if (i + rep > nlen + ndist) throw Fail{D64Result::DataError, "too many code lengths"};
      while (rep--) lengths[i++] = val;
    }
    if (lengths[256] == 0) throw Fail{D64Result::DataError, "no end-of-block code"};
    if (!litTable_.Build(lengths, nlen)) throw Fail{D64Result::DataError, "invalid literal/length code"};
    if (!distTable_.Build(lengths + nlen, ndist)) throw Fail{D64Result::DataError, "invalid distance code"};
    lit_ = &litTable_;
    dist_ = &distTable_;
  }

  void Codes() {
    const Huffman& lit = *lit_;
    const Huffman& dist = *dist_;
    uint8_t* out = out_.get();
    for (;;) {
      Room();
      int sym = Decode(lit);
      if (sym < 256) {
        out[outPos_++] = static_cast<uint8_t>(sym);
        ++total_;
        continue;
      }
      if (sym == 256) return;
      sym -= 257;
      if (sym >= kNumLenCodes) throw Fail{D64Result::DataError, "invalid length code"};
      uint32_t len = kLenBase[sym] + (kLenExtra[sym] ? Bits(kLenExtra[sym]) : 0);
      int dsym = Decode(dist);
      if (dsym >= kNumDistCodes) throw Fail{D64Result::DataError, "invalid distance code"};
      uint32_t d = kDistBase[dsym] + (kDistExtra[dsym] ? Bits(kDistExtra[dsym]) : 0);
      if (d > total_ || d > static_cast<uint32_t>(kWindow)) throw Fail{D64Result::DataError, "distance too far back"};
      uint8_t* dst = out + outPos_;
      const uint8_t* src = dst - d;
      if (d >= 8 && len >= 8) {
        // Non-overlapping 8-byte steps are safe as long as each step stays d behind.
        uint32_t n = len;
        while (n >= 8) {
          std::memcpy(dst, src, 8);
          dst += 8;
          src += 8;
          n -= 8;
        }
        while (n--) *dst++ = *src++;
      } else {
        for (uint32_t k = 0; k < len; ++k) dst[k] = src[k];
      }
      outPos_ += len;
      total_ += len;
    }
  }

  const D64Source& source_;
  const D64Sink& sink_;
  std::vector<uint8_t> in_;
  size_t inPos_ = 0, inEnd_ = 0;
  uint64_t read_ = 0;
  bool eof_ = false;
  uint64_t bits_ = 0;
  int bitCount_ = 0;
  int pad_ = 0;
  std::unique_ptr<uint8_t[]> out_;
  size_t outPos_ = 0, flushed_ = 0;
  uint64_t total_ = 0;
  Huffman fixedLit_, fixedDist_, litTable_, distTable_, clTable_;
  bool fixedBuilt_ = false;
  const Huffman* lit_ = nullptr;
  const Huffman* dist_ = nullptr;
};

}  // namespace

D64Result Deflate64Decode(const D64Source& source, const D64Sink& sink, std::string* error, uint64_t* consumed) {
  auto dec = std::make_unique<Decoder>(source, sink);
  return dec->Run(error, consumed);
}

D64Result Deflate64DecodeBuffer(const void* data, size_t size, std::string* out, uint64_t maxOutput,
                                std::string* error) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  size_t pos = 0;
  out->clear();
  bool tooLong = false;
  D64Result r = Deflate64Decode(
      [&](uint8_t* buf, size_t cap) {
        size_t n = size - pos < cap ? size - pos : cap;
        std::memcpy(buf, p + pos, n);
        pos += n;
        return n;
      },
      [&](const uint8_t* d, size_t n) {
        if (out->size() + n > maxOutput) {
          tooLong = true;
          return false;
        }
        out->append(reinterpret_cast<const char*>(d), n);
        return true;
      },
      error);
  if (tooLong) {
    if (error) *error = "more data than expected";
    return D64Result::DataError;
  }
  return r;
}

}  // namespace ziplib
