#include "digest/sha1_blocks.h"

#if defined(__x86_64__) || defined(__i386__)

#include <cpuid.h>
#include <immintrin.h>

#include <utility>

#define FW_SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))
#define FW_SHA_INLINE __attribute__((target("sha,sse4.1,ssse3"), always_inline)) inline

namespace {

// Four rounds per step. m holds the last four message quads, rolled in place: before
// step G (G >= 4) m[G % 4] is quad G-4 and becomes quad G.
template <int G>
FW_SHA_INLINE void FourRounds(__m128i& abcd, __m128i& prev, __m128i& e0, __m128i (&m)[4]) {
  if constexpr (G >= 4) {
    const __m128i w = _mm_xor_si128(_mm_sha1msg1_epu32(m[G % 4], m[(G + 1) % 4]), m[(G + 2) % 4]);
    m[G % 4] = _mm_sha1msg2_epu32(w, m[(G + 3) % 4]);
  }
  __m128i e;
  if constexpr (G == 0) {
    e = _mm_add_epi32(e0, m[0]);
  } else {
    e = _mm_sha1nexte_epu32(prev, m[G % 4]);  // E is A of four rounds ago, rotated
  }
  prev = abcd;
  abcd = _mm_sha1rnds4_epu32(abcd, e, G / 5);
}

template <size_t... G>
FW_SHA_INLINE void EightyRounds(__m128i& abcd, __m128i& prev, __m128i& e0, __m128i (&m)[4],
                                std::index_sequence<G...>) {
  (FourRounds<static_cast<int>(G)>(abcd, prev, e0, m), ...);
}

}  // namespace

bool Sha1ShaNiAvailable() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
    return false;
  const bool ssse3 = (ecx & bit_SSSE3) != 0;
  const bool sse41 = (ecx & bit_SSE4_1) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
    return false;
  const bool sha = (ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

FW_SHA_TARGET void Sha1BlocksShaNi(uint32_t state[5], const uint8_t* data, size_t blocks) {
  // Reverses the 16 bytes: big-endian words, word 0 in the top lane.
  const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1b);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abcdSave = abcd;
    const __m128i e0Save = e0;
    __m128i m[4];
    for (int i = 0; i < 4; ++i) {
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)),
                              byteSwap);
    }
    __m128i prev = abcd;
    EightyRounds(abcd, prev, e0, m, std::make_index_sequence<20>{});
    e0 = _mm_sha1nexte_epu32(prev, e0Save);
    abcd = _mm_add_epi32(abcd, abcdSave);
  }

  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1b));
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

#else

bool Sha1ShaNiAvailable() {
  return false;
}

void Sha1BlocksShaNi(uint32_t state[5], const uint8_t* data, size_t blocks) {
  Sha1BlocksPortable(state, data, blocks);
}

#endif
