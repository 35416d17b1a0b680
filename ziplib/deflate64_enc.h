#pragma once
// Deflate64 (zip method 9) encoder: 64 KiB window, hash chains with lazy matching, dynamic
// Huffman blocks with fixed and stored blocks where they are smaller. Streaming with fixed
// memory (about 1.2 MiB): input goes in by chunks, output leaves through the sink.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace ziplib {

// Receives compressed bytes in order; returning false stops the encoder.
using D64Sink = std::function<bool(const uint8_t* data, size_t size)>;

class Deflate64Encoder {
 public:
  // level 1 (fastest) .. 9 (smallest); values outside are clamped.
  Deflate64Encoder(int level, D64Sink sink);
  ~Deflate64Encoder();
  Deflate64Encoder(const Deflate64Encoder&) = delete;
  Deflate64Encoder& operator=(const Deflate64Encoder&) = delete;

  // Primes the window with the last 64 KiB (at most) of the bytes that precede this input,
  // so that a piece of a larger stream may refer back into the piece before it. Only
  // before the first Write; the dictionary itself is not output.
  void SetDictionary(const void* data, size_t size);
  // Adds input; false once the sink has refused output (the stream is then unusable).
  bool Write(const void* data, size_t size);
  // Compresses all input so far and ends the output on a byte boundary with an empty
  // stored block (no final block), so that the output of the next piece can follow it
  // directly. Writing may go on afterwards. False when the sink refused output.
  bool Flush();
  // Compresses what is left, writes the final block and hands every byte to the sink.
  // Call once; false when the sink refused output.
  bool Finish();

  uint64_t BytesIn() const;
  uint64_t BytesOut() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

// Whole-buffer convenience form.
std::string Deflate64EncodeBuffer(const void* data, size_t size, int level);

}  // namespace ziplib
