// The particle gradient store's records: the first byte chooses the layout (even "PRW4", odd "PRW3"), the rest is
// the record's payload. What reads is written again and must read back to the same bytes; a present record holds
// counts and selections the gradient control can index with.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "designer/editors/gradient_store.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::vector<uint8_t> Written(const CVTND_GradientPersinstancy& store)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        Check(store.WriteRecords(out, nullptr));
    }
    return buffer.ToVector();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    CVTND_GradientPersinstancy store;
    SWchunkstream in{std::span<const uint8_t>(data + 1, size - 1)};
    const bool old = (data[0] & 1) != 0;
    const bool read = old ? store.ReadOldList(in) : store.ReadCurrent(in);
    Check(old || read || store.Count() == 0);
    for (const CVTND_GradientPersinstancyNode* r = store.First(); r != nullptr;
         r = CVTND_GradientPersinstancy::Next(r)) {
        Check(!old || !r->IsPresent());
        if (r->IsPresent()) {
            // What the gradient control indexes with stays inside its arrays.
            const CVTND_GradientFields& f = r->GetFields();
            Check(f.keyCount <= CVTND_GradientFields::kMaxKeys);
            Check(f.curvePointCount <= CVTND_GradientFields::kMaxCurvePoints);
            Check(f.selectedKey >= -1 && f.selectedKey < static_cast<int32_t>(f.keyCount));
            Check(f.selectedCurvePoint >= -1 && f.selectedCurvePoint < static_cast<int32_t>(f.curvePointCount));
        }
    }
    // The written records, read again record by record, write the same bytes.
    const std::vector<uint8_t> once = Written(store);
    CVTND_GradientPersinstancy again;
    SWchunkstream records{std::span<const uint8_t>(once)};
    while (records.Remaining() >= 8) {
        records.TakeTag();
        const std::unique_ptr<SWchunkstream> payload = records.OpenChild();
        Check(again.ReadCurrent(*payload));
    }
    Check(Written(again) == once);
    return 0;
}
