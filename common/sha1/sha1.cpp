#include "sha1.h"

#include <algorithm>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#define SHA1_HAVE_X86 1
#else
#define SHA1_HAVE_X86 0
#endif

std::vector<uint8_t> IHashAlgorithm::HashData(const void* data, size_t length) {
  Init();
  AddData(data, length);
  return Finalize();
}

namespace {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t LoadBig(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

// The portable block function: all 80 rounds written out, the message
// schedule kept in a 16-word ring, so the compiler keeps everything in
// registers and no round pays for a loop or a switch on the round number.
#define SHA1_W(i) (w[(i) & 15] = Rol(w[((i) + 13) & 15] ^ w[((i) + 8) & 15] ^ w[((i) + 2) & 15] ^ w[(i) & 15], 1))
#define SHA1_R0(v, x, y, z, u, i) \
  u += ((x & (y ^ z)) ^ z) + w[i] + 0x5A827999u + Rol(v, 5); x = Rol(x, 30);
#define SHA1_R1(v, x, y, z, u, i) \
  u += ((x & (y ^ z)) ^ z) + SHA1_W(i) + 0x5A827999u + Rol(v, 5); x = Rol(x, 30);
#define SHA1_R2(v, x, y, z, u, i) \
  u += (x ^ y ^ z) + SHA1_W(i) + 0x6ED9EBA1u + Rol(v, 5); x = Rol(x, 30);
#define SHA1_R3(v, x, y, z, u, i) \
  u += (((x | y) & z) | (x & y)) + SHA1_W(i) + 0x8F1BBCDCu + Rol(v, 5); x = Rol(x, 30);
#define SHA1_R4(v, x, y, z, u, i) \
  u += (x ^ y ^ z) + SHA1_W(i) + 0xCA62C1D6u + Rol(v, 5); x = Rol(x, 30);

void CompressPortable(uint32_t state[5], const uint8_t* blocks, size_t count) {
  uint32_t w[16];
  for (; count > 0; --count, blocks += 64) {
    for (int i = 0; i < 16; ++i) w[i] = LoadBig(blocks + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    SHA1_R0(a, b, c, d, e, 0) SHA1_R0(e, a, b, c, d, 1) SHA1_R0(d, e, a, b, c, 2) SHA1_R0(c, d, e, a, b, 3)
    SHA1_R0(b, c, d, e, a, 4) SHA1_R0(a, b, c, d, e, 5) SHA1_R0(e, a, b, c, d, 6) SHA1_R0(d, e, a, b, c, 7)
    SHA1_R0(c, d, e, a, b, 8) SHA1_R0(b, c, d, e, a, 9) SHA1_R0(a, b, c, d, e, 10) SHA1_R0(e, a, b, c, d, 11)
    SHA1_R0(d, e, a, b, c, 12) SHA1_R0(c, d, e, a, b, 13) SHA1_R0(b, c, d, e, a, 14) SHA1_R0(a, b, c, d, e, 15)
    SHA1_R1(e, a, b, c, d, 16) SHA1_R1(d, e, a, b, c, 17) SHA1_R1(c, d, e, a, b, 18) SHA1_R1(b, c, d, e, a, 19)
    SHA1_R2(a, b, c, d, e, 20) SHA1_R2(e, a, b, c, d, 21) SHA1_R2(d, e, a, b, c, 22) SHA1_R2(c, d, e, a, b, 23)
    SHA1_R2(b, c, d, e, a, 24) SHA1_R2(a, b, c, d, e, 25) SHA1_R2(e, a, b, c, d, 26) SHA1_R2(d, e, a, b, c, 27)
    SHA1_R2(c, d, e, a, b, 28) SHA1_R2(b, c, d, e, a, 29) SHA1_R2(a, b, c, d, e, 30) SHA1_R2(e, a, b, c, d, 31)
    SHA1_R2(d, e, a, b, c, 32) SHA1_R2(c, d, e, a, b, 33) SHA1_R2(b, c, d, e, a, 34) SHA1_R2(a, b, c, d, e, 35)
    SHA1_R2(e, a, b, c, d, 36) SHA1_R2(d, e, a, b, c, 37) SHA1_R2(c, d, e, a, b, 38) SHA1_R2(b, c, d, e, a, 39)
    SHA1_R3(a, b, c, d, e, 40) SHA1_R3(e, a, b, c, d, 41) SHA1_R3(d, e, a, b, c, 42) SHA1_R3(c, d, e, a, b, 43)
    SHA1_R3(b, c, d, e, a, 44) SHA1_R3(a, b, c, d, e, 45) SHA1_R3(e, a, b, c, d, 46) SHA1_R3(d, e, a, b, c, 47)
    SHA1_R3(c, d, e, a, b, 48) SHA1_R3(b, c, d, e, a, 49) SHA1_R3(a, b, c, d, e, 50) SHA1_R3(e, a, b, c, d, 51)
    SHA1_R3(d, e, a, b, c, 52) SHA1_R3(c, d, e, a, b, 53) SHA1_R3(b, c, d, e, a, 54) SHA1_R3(a, b, c, d, e, 55)
    SHA1_R3(e, a, b, c, d, 56) SHA1_R3(d, e, a, b, c, 57) SHA1_R3(c, d, e, a, b, 58) SHA1_R3(b, c, d, e, a, 59)
    SHA1_R4(a, b, c, d, e, 60) SHA1_R4(e, a, b, c, d, 61) SHA1_R4(d, e, a, b, c, 62) SHA1_R4(c, d, e, a, b, 63)
    SHA1_R4(b, c, d, e, a, 64) SHA1_R4(a, b, c, d, e, 65) SHA1_R4(e, a, b, c, d, 66) SHA1_R4(d, e, a, b, c, 67)
    SHA1_R4(c, d, e, a, b, 68) SHA1_R4(b, c, d, e, a, 69) SHA1_R4(a, b, c, d, e, 70) SHA1_R4(e, a, b, c, d, 71)
    SHA1_R4(d, e, a, b, c, 72) SHA1_R4(c, d, e, a, b, 73) SHA1_R4(b, c, d, e, a, 74) SHA1_R4(a, b, c, d, e, 75)
    SHA1_R4(e, a, b, c, d, 76) SHA1_R4(d, e, a, b, c, 77) SHA1_R4(c, d, e, a, b, 78) SHA1_R4(b, c, d, e, a, 79)
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
  }
}

#if SHA1_HAVE_X86
// The processor's SHA extensions: four rounds per instruction, the message
// schedule done by sha1msg1/sha1msg2. Compiled for those instructions only
// here and chosen at run time, so the program still runs on processors
// without them.
#define SHA1NI_ROUNDS(e_next, e_cur, m_cur, m_prev, m_next, f) \
  e_next = _mm_sha1nexte_epu32(e_next, m_cur);                \
  e_cur = abcd;                                                \
  m_prev = _mm_sha1msg2_epu32(m_prev, m_cur);                  \
  abcd = _mm_sha1rnds4_epu32(abcd, e_next, f);                 \
  m_next = _mm_sha1msg1_epu32(m_next, m_cur);

__attribute__((target("sha,sse4.1,ssse3"))) void CompressHardware(uint32_t state[5], const uint8_t* blocks,
                                                                    size_t count) {
  const __m128i mask = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
  __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  abcd = _mm_shuffle_epi32(abcd, 0x1B);
  for (; count > 0; --count, blocks += 64) {
    const __m128i abcd_save = abcd;
    const __m128i e_save = e0;
    __m128i e1;
    __m128i m0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks)), mask);
    __m128i m1 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 16)), mask);
    __m128i m2 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 32)), mask);
    __m128i m3 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(blocks + 48)), mask);

    // Rounds 0-3.
    e0 = _mm_add_epi32(e0, m0);
    e1 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);
    // Rounds 4-7.
    e1 = _mm_sha1nexte_epu32(e1, m1);
    e0 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e1, 0);
    m0 = _mm_sha1msg1_epu32(m0, m1);
    // Rounds 8-11.
    e0 = _mm_sha1nexte_epu32(e0, m2);
    e1 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e0, 0);
    m1 = _mm_sha1msg1_epu32(m1, m2);
    m0 = _mm_xor_si128(m0, m2);
    // Rounds 12-15.
    e1 = _mm_sha1nexte_epu32(e1, m3);
    e0 = abcd;
    m0 = _mm_sha1msg2_epu32(m0, m3);
    abcd = _mm_sha1rnds4_epu32(abcd, e1, 0);
    m2 = _mm_sha1msg1_epu32(m2, m3);
    m1 = _mm_xor_si128(m1, m3);
    // Rounds 16-63: the same step with the four message registers rotating.
    SHA1NI_ROUNDS(e0, e1, m0, m1, m3, 0) m2 = _mm_xor_si128(m2, m0);   // 16-19
    SHA1NI_ROUNDS(e1, e0, m1, m2, m0, 1) m3 = _mm_xor_si128(m3, m1);   // 20-23
    SHA1NI_ROUNDS(e0, e1, m2, m3, m1, 1) m0 = _mm_xor_si128(m0, m2);   // 24-27
    SHA1NI_ROUNDS(e1, e0, m3, m0, m2, 1) m1 = _mm_xor_si128(m1, m3);   // 28-31
    SHA1NI_ROUNDS(e0, e1, m0, m1, m3, 1) m2 = _mm_xor_si128(m2, m0);   // 32-35
    SHA1NI_ROUNDS(e1, e0, m1, m2, m0, 1) m3 = _mm_xor_si128(m3, m1);   // 36-39
    SHA1NI_ROUNDS(e0, e1, m2, m3, m1, 2) m0 = _mm_xor_si128(m0, m2);   // 40-43
    SHA1NI_ROUNDS(e1, e0, m3, m0, m2, 2) m1 = _mm_xor_si128(m1, m3);   // 44-47
    SHA1NI_ROUNDS(e0, e1, m0, m1, m3, 2) m2 = _mm_xor_si128(m2, m0);   // 48-51
    SHA1NI_ROUNDS(e1, e0, m1, m2, m0, 2) m3 = _mm_xor_si128(m3, m1);   // 52-55
    SHA1NI_ROUNDS(e0, e1, m2, m3, m1, 2) m0 = _mm_xor_si128(m0, m2);   // 56-59
    SHA1NI_ROUNDS(e1, e0, m3, m0, m2, 3) m1 = _mm_xor_si128(m1, m3);   // 60-63
    // Rounds 64-67.
    e0 = _mm_sha1nexte_epu32(e0, m0);
    e1 = abcd;
    m1 = _mm_sha1msg2_epu32(m1, m0);
    abcd = _mm_sha1rnds4_epu32(abcd, e0, 3);
    m3 = _mm_sha1msg1_epu32(m3, m0);
    m2 = _mm_xor_si128(m2, m0);
    // Rounds 68-71.
    e1 = _mm_sha1nexte_epu32(e1, m1);
    e0 = abcd;
    m2 = _mm_sha1msg2_epu32(m2, m1);
    abcd = _mm_sha1rnds4_epu32(abcd, e1, 3);
    m3 = _mm_xor_si128(m3, m1);
    // Rounds 72-75.
    e0 = _mm_sha1nexte_epu32(e0, m2);
    e1 = abcd;
    m3 = _mm_sha1msg2_epu32(m3, m2);
    abcd = _mm_sha1rnds4_epu32(abcd, e0, 3);
    // Rounds 76-79.
    e1 = _mm_sha1nexte_epu32(e1, m3);
    e0 = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, e1, 3);

    e0 = _mm_sha1nexte_epu32(e0, e_save);
    abcd = _mm_add_epi32(abcd, abcd_save);
  }
  abcd = _mm_shuffle_epi32(abcd, 0x1B);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), abcd);
  state[4] = static_cast<uint32_t>(_mm_extract_epi32(e0, 3));
}

bool DetectHardware() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool ssse3 = (ecx & (1u << 9)) != 0;
  const bool sse41 = (ecx & (1u << 19)) != 0;
  if (!ssse3 || !sse41) return false;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  __cpuid_count(7, 0, eax, ebx, ecx, edx);
  return (ebx & (1u << 29)) != 0;
}
#else
bool DetectHardware() { return false; }
#endif

}  // namespace

bool TSha1::HardwareAvailable() {
  static const bool available = DetectHardware();
  return available;
}

TSha1::TSha1() : TSha1(Engine::kAuto) {}

TSha1::TSha1(Engine engine) {
  const bool hardware = HardwareAvailable() && engine != Engine::kPortable;
  engine_ = hardware ? Engine::kHardware : Engine::kPortable;
#if SHA1_HAVE_X86
  compress_ = hardware ? CompressHardware : CompressPortable;
#else
  compress_ = CompressPortable;
#endif
  Init();
}

void TSha1::Init() {
  state_[0] = 0x67452301u;
  state_[1] = 0xEFCDAB89u;
  state_[2] = 0x98BADCFEu;
  state_[3] = 0x10325476u;
  state_[4] = 0xC3D2E1F0u;
  total_ = 0;
  pending_length_ = 0;
}

void TSha1::AddData(const void* data, size_t length) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (length == 0) return;
  total_ += length;
  if (pending_length_ > 0) {
    const size_t take = std::min(length, kBlockSize - pending_length_);
    std::memcpy(pending_ + pending_length_, p, take);
    pending_length_ += take;
    p += take;
    length -= take;
    if (pending_length_ < kBlockSize) return;
    compress_(state_, pending_, 1);
    pending_length_ = 0;
  }
  const size_t blocks = length / kBlockSize;
  if (blocks > 0) {
    compress_(state_, p, blocks);
    p += blocks * kBlockSize;
    length -= blocks * kBlockSize;
  }
  if (length > 0) {
    std::memcpy(pending_, p, length);
    pending_length_ = length;
  }
}

void TSha1::FinalizeInto(uint8_t digest[kDigestSize]) {
  const uint64_t bits = total_ * 8;
  uint8_t tail[2 * kBlockSize] = {};
  std::memcpy(tail, pending_, pending_length_);
  tail[pending_length_] = 0x80;
  const size_t tail_length = pending_length_ + 1 + 8 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
  for (int i = 0; i < 8; ++i) tail[tail_length - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
  compress_(state_, tail, tail_length / kBlockSize);
  for (int i = 0; i < 5; ++i) {
    digest[4 * i] = static_cast<uint8_t>(state_[i] >> 24);
    digest[4 * i + 1] = static_cast<uint8_t>(state_[i] >> 16);
    digest[4 * i + 2] = static_cast<uint8_t>(state_[i] >> 8);
    digest[4 * i + 3] = static_cast<uint8_t>(state_[i]);
  }
  pending_length_ = 0;
}

std::vector<uint8_t> TSha1::Finalize() {
  std::vector<uint8_t> digest(kDigestSize);
  FinalizeInto(digest.data());
  return digest;
}

std::string TSha1::ToHex(const uint8_t* data, size_t length) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(length * 2);
  for (size_t i = 0; i < length; ++i) {
    text.push_back(kDigits[data[i] >> 4]);
    text.push_back(kDigits[data[i] & 15]);
  }
  return text;
}
