#pragma once
// Deflate64 (zip method 9) decoder: streaming, bounded memory, safe on hostile input.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace ziplib {

// Hands the decoder up to `capacity` compressed bytes; returns how many it wrote, 0 at the end.
using D64Source = std::function<size_t(uint8_t* buffer, size_t capacity)>;
// Receives decoded bytes in order; returning false stops decoding (result Aborted).
using D64Sink = std::function<bool(const uint8_t* data, size_t size)>;

enum class D64Result {
  Ok,         // the final block was decoded; every output byte has reached the sink
  DataError,  // the stream is not valid Deflate64 (message in *error)
  Truncated,  // the source ended before the final block did
  Aborted,    // the sink returned false
};

// Decodes one Deflate64 stream from `source` into `sink`. Reads the source in chunks and never
// asks for more once the final block has ended (bytes after it are not consumed). Memory is
// fixed (about 300 KiB); the caller bounds the output through the sink (e.g. at the entry's
// uncompressed size). `consumed`, when given, receives the compressed bytes used.
D64Result Deflate64Decode(const D64Source& source, const D64Sink& sink, std::string* error = nullptr,
                          uint64_t* consumed = nullptr);

// Whole-buffer convenience form: `out` receives the decoded data (up to `maxOutput` bytes;
// more is a DataError).
D64Result Deflate64DecodeBuffer(const void* data, size_t size, std::string* out,
                                uint64_t maxOutput = UINT64_MAX, std::string* error = nullptr);

}  // namespace ziplib
