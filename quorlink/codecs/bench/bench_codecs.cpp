// Codec throughput: PDU decoding (7-bit, UCS2, concatenated) and GBK <-> UCS2
// conversion of mixed phone text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "quorlink/codecs/pdu.h"
#include "quorlink/codecs/ucs2.h"

namespace {

std::string SevenBitPdu()
{
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strcpy(p.serviceCentre, "8613800100500");
    std::strcpy(p.address, "8613912345678");
    std::memset(p.userData, 'x', 160);
    char out[CPDU::kMaxPduText];
    CPDU::gsmEncodePdu(&p, out);
    return out;
}

std::string Ucs2Pdu()
{
    SM_PARAM p;
    std::memset(&p, 0, sizeof p);
    std::strcpy(p.serviceCentre, "8613800100500");
    std::strcpy(p.address, "8613912345678");
    p.dataCoding = 8;
    for (int i = 0; i < 70; ++i)
        std::memcpy(p.userData + 2 * i, "\xD6\xD0", 2);
    char out[CPDU::kMaxPduText];
    CPDU::gsmEncodePdu(&p, out);
    return out;
}

void DecodePdu(benchmark::State& state, const std::string& pdu, unsigned char status)
{
    SM_PARAM p;
    for (auto _ : state) {
        std::memset(&p, 0, sizeof p);
        p.status = status;
        benchmark::DoNotOptimize(CPDU::gsmDecodePdu(pdu.c_str(), &p));
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(pdu.size()));
}

void BM_DecodePdu7bit160(benchmark::State& state)
{
    DecodePdu(state, SevenBitPdu(), 2);
}
void BM_DecodePduUcs2_70(benchmark::State& state)
{
    DecodePdu(state, Ucs2Pdu(), 2);
}
void BM_DecodePduConcat(benchmark::State& state)
{
    DecodePdu(state,
              "0044"
              "0B911346610089F6"
              "0000"
              "20806291731408"
              "0B"
              "050003A7030290691000",
              0);
}

// 1000 characters of mixed phone text: Chinese with some Latin.
std::string MixedText()
{
    std::string s;
    for (int i = 0; i < 250; ++i)
        s += "\xD6\xD0\xCE\xC4"
             "ab\xB6\xCC";
    return s;
}

void BM_GbkToUcs2(benchmark::State& state)
{
    const std::string text = MixedText();
    std::vector<unsigned short> out(text.size() + 1);
    for (auto _ : state) {
        CUcs2::GB2UcsString(reinterpret_cast<const unsigned char*>(text.c_str()), out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void BM_Ucs2ToGbk(benchmark::State& state)
{
    const std::string text = MixedText();
    std::vector<unsigned short> ucs2(text.size() + 1);
    CUcs2::GB2UcsString(reinterpret_cast<const unsigned char*>(text.c_str()), ucs2.data());
    std::vector<unsigned char> out(2 * text.size() + 1);
    for (auto _ : state) {
        CUcs2::Ucs2GBString(ucs2.data(), out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

BENCHMARK(BM_DecodePdu7bit160);
BENCHMARK(BM_DecodePduUcs2_70);
BENCHMARK(BM_DecodePduConcat);
BENCHMARK(BM_GbkToUcs2);
BENCHMARK(BM_Ucs2ToGbk);

}  // namespace

BENCHMARK_MAIN();
