// Any bytes read as a list of variable records: never a crash, a hang or a view of freed storage. What was read
// must survive being written and read again with the same names, types and bindings, and no view may point
// outside its list or around a loop.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/behaviour/properties.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"

namespace {

// Written, and bound again when read: saved itself, and every variable its views lead to saved too.
bool SurvivesWriting(const SWproperty& v)
{
    for (const SWproperty* at = &v; at != nullptr; at = at->GetTarget())
        if (!at->GetName() || (!at->IsBound() && (at->GetFlags() & SWproperty::kFlagSaved) == 0))
            return false;
    return true;
}

void CheckViews(const SWproperties2& list)
{
    for (SWproperty* v = list.GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v)) {
        if (v->GetOwner() != &list || v->GetPendingTargetName())
            std::abort();
        size_t steps = 0;
        for (const SWproperty* at = v->GetTarget(); at != nullptr; at = at->GetTarget()) {
            if (at->GetOwner() != &list || ++steps > list.CountVariables())
                std::abort();
        }
        v->HasChanged();
        v->AssignData(v->GetCurrentData());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    SWproperties2 list;
    {
        SWchunkstream in(std::span<const uint8_t>(data, size));
        list.ReadVariables(in);
    }
    CheckViews(list);
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        list.WriteVariables(out);
    }
    const std::vector<uint8_t> written = buffer.ToVector();
    SWproperties2 again;
    {
        SWchunkstream in(written);
        again.ReadVariables(in);
    }
    CheckViews(again);
    for (SWproperty* v = list.GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v)) {
        if (!SurvivesWriting(*v))
            continue;
        const SWproperty* copy = again.FindVariable(*v->GetName());
        if (copy == nullptr || copy->GetType() != v->GetType() || copy->IsBound() != v->IsBound())
            std::abort();
    }
    return 0;
}
