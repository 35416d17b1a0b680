#pragma once
// The key derivation of AES entries, PBKDF2-HMAC-SHA1 with the entry's salt, worked out on
// the processor's SHA instructions. Every entry has a salt of its own, so every entry costs
// a derivation of 1,000 rounds; done through the system's hash routines it cost more than
// compressing an average small file. Without those instructions the system's routine does
// the work (aes_zip.cpp).
#include <cstddef>
#include <cstdint>
#include <string>

namespace ziplib {

// True when the processor has the SHA and SSE4.1 instructions the fast derivation uses.
bool HasShaInstructions();

// PBKDF2-HMAC-SHA1 of password and salt (at most 51 bytes) over `iterations` rounds into
// out (outLen bytes). Only with HasShaInstructions(); false when the salt is too long.
bool Pbkdf2Sha1(const std::string& password, const uint8_t* salt, size_t saltLen, int iterations, uint8_t* out,
                size_t outLen);

}  // namespace ziplib
