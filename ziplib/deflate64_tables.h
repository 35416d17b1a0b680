#pragma once
// Length and distance code tables shared by the Deflate64 encoder and decoder.
#include <cstdint>

namespace ziplib::d64 {

constexpr int kWindow = 65536;
constexpr int kNumLenCodes = 29;   // symbols 257..285
constexpr int kNumDistCodes = 32;  // 30 and 31 reach 32769..65536

// Code 284 covers 227..258 (258 is no longer special); code 285 is base 3 with 16 extra bits.
constexpr uint16_t kLenBase[kNumLenCodes] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t kLenExtra[kNumLenCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
constexpr uint32_t kDistBase[kNumDistCodes] = {1,    2,    3,    4,    5,    7,     9,     13,    17,    25,   33,
                                               49,   65,   97,   129,  193,  257,   385,   513,   769,   1025, 1537,
                                               2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistExtra[kNumDistCodes] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,  6,
                                               7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

// Order in which the code-length code lengths are sent.
constexpr uint8_t kClOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

}  // namespace ziplib::d64
