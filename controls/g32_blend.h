#pragma once
// Laying a translucent 32-bit colour over a pixel, in a plain integer form and in a
// form for processors with MMX; the processor test picks one once at program start.
#include <cstdint>

namespace g32 {

// 0xAARRGGBB; in memory the bytes of a pixel are blue, green, red, alpha.
using TColor32 = uint32_t;

using TBlendInPlace = void (*)(TColor32 F, TColor32& B);

// Both forms, callable directly (tests compare them); the system goes through BlendInPlace.
void BlendInPlacePlain(TColor32 F, TColor32& B);
void BlendInPlaceMmx(TColor32 F, TColor32& B);

// Chosen once, before main: the MMX form when MmxActive, else the plain form.
extern const bool MmxActive;
extern const TBlendInPlace BlendInPlace;

// Returns the processor to floating-point use after MMX work; once after every run of blends.
void EndBlend();

// The processor test: CPUID present, family 5 or above, MMX feature bit.
bool CpuHasMmx();
// The rule of CpuHasMmx over the facts it reads: whether CPUID exists, and EAX and EDX
// of CPUID function 1.
bool CpuHasMmxFrom(bool hasCpuid, uint32_t eax1, uint32_t edx1);

// The MMX form's weights: 256 entries of four 16-bit copies of the index, 8-byte aligned;
// null when MmxActive is false.
const uint64_t* AlphaTable();

}  // namespace g32
