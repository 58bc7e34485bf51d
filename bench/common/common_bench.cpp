// TLV search and add on a list of parameter-bag size, and code-page
// throughput, each beside a memcpy of the same bytes as the reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "common/tlv.h"

using namespace common;

namespace {

constexpr size_t kListSize = 2048;

// About 2 KB of two-byte tags with 16-byte values, plus one constructed item
// near the end: the shape of the main parameter bag.
std::vector<uint8_t> MakeList(uint16_t& used, uint32_t& lastTag) {
  std::vector<uint8_t> mem(kListSize);
  T_TLV_Buffer b = TlvBufferOver(mem.data(), 0);
  const uint8_t value[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  uint32_t tag = 0xDF01;
  while (AddTagBinarySize(b, tag, value, sizeof value, TLV_ADD, kListSize - 40)) {
    lastTag = tag++;
  }
  const uint8_t inner[] = {0x9F, 0x02, 0x02, 0x01, 0x02, 0x5A, 0x01, 0x07};
  AddTagBinarySize(b, 0xE1, inner, sizeof inner, TLV_ADD, kListSize);
  used = b.length;
  return mem;
}

void BM_TlvFindLast(benchmark::State& state) {
  uint16_t used = 0;
  uint32_t last = 0;
  std::vector<uint8_t> mem = MakeList(used, last);
  T_TLV_Buffer b = TlvBufferOver(mem.data(), used);
  for (auto _ : state) {
    T_TLV_Item item;
    item.tag = 0x5A;  // inside the constructed item at the very end
    benchmark::DoNotOptimize(FindTag(b, item));
    benchmark::DoNotOptimize(item.value);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * used);
}
BENCHMARK(BM_TlvFindLast);

void BM_TlvFindMissing(benchmark::State& state) {
  uint16_t used = 0;
  uint32_t last = 0;
  std::vector<uint8_t> mem = MakeList(used, last);
  T_TLV_Buffer b = TlvBufferOver(mem.data(), used);
  for (auto _ : state) {
    benchmark::DoNotOptimize(tlvDoGetTagValue(b, 0x9F7F, 0));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * used);
}
BENCHMARK(BM_TlvFindMissing);

// Filling a 2 KB list item by item, the last item replaced at each step.
void BM_TlvAddFill(benchmark::State& state) {
  std::vector<uint8_t> mem(kListSize);
  const uint8_t value[16] = {};
  uint16_t used = 0;
  for (auto _ : state) {
    T_TLV_Buffer b = TlvBufferOver(mem.data(), 0);
    uint32_t tag = 0xDF01;
    while (AddTagBinarySize(b, tag, value, sizeof value, TLV_ADD, kListSize)) ++tag;
    used = b.length;
    benchmark::DoNotOptimize(mem.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * used);
}
BENCHMARK(BM_TlvAddFill);

void BM_TlvReplaceInFullList(benchmark::State& state) {
  uint16_t used = 0;
  uint32_t last = 0;
  std::vector<uint8_t> mem = MakeList(used, last);
  T_TLV_Buffer b = TlvBufferOver(mem.data(), used);
  const uint8_t value[16] = {9};
  for (auto _ : state) {
    // The first item moves to the end each time: a whole-list scan and move.
    T_TLV_Item first;
    FindFirstTag(b, first);
    benchmark::DoNotOptimize(AddTagBinarySize(b, first.tag, value, sizeof value, TLV_REPLACE, kListSize));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * used);
}
BENCHMARK(BM_TlvReplaceInFullList);

void BM_MemcpyReference(benchmark::State& state) {
  const size_t n = static_cast<size_t>(state.range(0));
  std::vector<char> src(n, 'x');
  std::vector<char> dst(n + 1);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), n);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
}
BENCHMARK(BM_MemcpyReference)->Arg(2048)->Arg(4096);

// A cheque-like cp866 text: Cyrillic, digits, blanks, line ends.
std::string Cp866Text(size_t n) {
  const std::string line = "\x8F\xE0\xAE\xA4\xA0\xA6\xA0 \xE2\xAE\xA2\xA0\xE0\xA0 1234.56 \xF0\xF1 \xFC 7\r\n";
  std::string s;
  while (s.size() < n) s += line;
  s.resize(n);
  return s;
}

void BM_cp866Translate(benchmark::State& state) {
  const int mode = static_cast<int>(state.range(0));
  const std::string src = Cp866Text(4096);
  std::vector<char> dst(src.size() * 3 + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(cp866TranslateEx(dst.data(), dst.size(), src.data(), src.size(), mode));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(src.size()));
}
BENCHMARK(BM_cp866Translate)->ArgName("mode")->Arg(0)->Arg(1)->Arg(3);

void BM_UTF8Tocp866(benchmark::State& state) {
  const std::string cp = Cp866Text(4096);
  std::vector<char> utf8(cp.size() * 3 + 1);
  const size_t n = cp866TranslateEx(utf8.data(), utf8.size(), cp.data(), cp.size(), kCp866ToUtf8);
  std::vector<char> dst(n + 1);
  for (auto _ : state) {
    benchmark::DoNotOptimize(UTF8Tocp866Size(dst.data(), utf8.data(), n, dst.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(n));
  state.counters["input_bytes"] = static_cast<double>(n);
}
BENCHMARK(BM_UTF8Tocp866);

}  // namespace
