#include "engine/behaviour/properties.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "engine/behaviour/property.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/unique_id.h"

namespace {

constexpr uint32_t kTypeCodes[7] = {kTypeString, kTypeInteger,    kTypeBoolean, kTypeFloat,
                                    kTypeVector, kTypeQuaternion, kTypeMatrix};

// "7400".."7406", one per type in the order of kTypeCodes.
uint32_t RecordTagOf(uint32_t type)
{
    for (uint32_t i = 0; i < 7; ++i)
        if (kTypeCodes[i] == type)
            return MakeTag("7400") + (i << 24);
    return 0;
}

uint32_t TypeOfRecordTag(uint32_t tag)
{
    for (uint32_t i = 0; i < 7; ++i)
        if (MakeTag("7400") + (i << 24) == tag)
            return kTypeCodes[i];
    return 0;
}

} // namespace

namespace {

std::atomic<uint64_t> g_processRemovals{0};

// One for every list: deferred variables are made once per list in its life, so the lock is seldom taken, and a
// list read from two threads at once must see its built-ins made whole or not at all. Recursive: the owner makes
// them through AddVariable, which asks again.
std::recursive_mutex g_deferredLock;

void RaiseProcessRemovals()
{
    g_processRemovals.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

uint64_t SWproperties2::GetProcessRemovalCount()
{
    return g_processRemovals.load(std::memory_order_relaxed);
}

SWproperties2::~SWproperties2()
{
    // Views first, so that no variable outlives the one it views, even for a moment.
    RemoveAllVariables();
}

void SWproperties2::MakeDeferredVariables() const
{
    if (!m_deferred.load(std::memory_order_acquire))
        return;
    const std::lock_guard<std::recursive_mutex> lock(g_deferredLock);
    auto& self = const_cast<SWproperties2&>(*this);
    if (!m_deferred.load(std::memory_order_relaxed) || self.m_making)
        return;
    self.m_making = true;
    self.MakeDeferred();
    self.m_making = false;
    self.m_deferred.store(false, std::memory_order_release);
}

SWproperty* SWproperties2::GetFirstVariable() const
{
    MakeDeferredVariables();
    return static_cast<SWproperty*>(m_variables.Head());
}

SWproperty* SWproperties2::GetNextVariable(const SWproperty* variable)
{
    return variable != nullptr ? static_cast<SWproperty*>(variable->Next()) : nullptr;
}

SWproperty* SWproperties2::FindVariable(std::string_view name) const
{
    for (SWproperty* v = GetFirstVariable(); v != nullptr; v = GetNextVariable(v))
        if (v->GetName() && *v->GetName() == name)
            return v;
    return nullptr;
}

SWproperty* SWproperties2::FindVariableById(uint32_t id) const
{
    for (SWproperty* v = GetFirstVariable(); v != nullptr; v = GetNextVariable(v))
        if (v->GetId() == id)
            return v;
    return nullptr;
}

SWproperty* SWproperties2::AddVariable(std::unique_ptr<SWproperty> variable)
{
    if (!variable)
        return nullptr;
    if (variable->GetName() && FindVariable(*variable->GetName()) != nullptr)
        return nullptr;
    const uint32_t id = variable->GetId();
    if (id == 0 || FindVariableById(id) != nullptr)
        variable->SetId(NextUniqueId());
    else
        RaiseUniqueIdPast(id);
    variable->SetOwner(this);
    SWproperty* added = variable.release();
    m_variables.AddTail(added);
    return added;
}

bool SWproperties2::IsTargetOfBinding(const SWproperty* variable) const
{
    for (SWproperty* v = GetFirstVariable(); v != nullptr; v = GetNextVariable(v))
        if (v->GetTarget() == variable)
            return true;
    return false;
}

bool SWproperties2::RemoveVariable(SWproperty* variable)
{
    if (variable == nullptr || !m_variables.Contains(variable))
        return false;
    // A view of a variable that goes would read freed storage: its views go first. Bindings form no loops, so
    // this ends.
    for (SWproperty* v = GetFirstVariable(); v != nullptr;) {
        SWproperty* next = GetNextVariable(v);
        if (v->GetTarget() == variable) {
            RemoveVariable(v);
            next = GetFirstVariable(); // the removal may have taken the next one too
        }
        v = next;
    }
    ++m_removals;
    RaiseProcessRemovals();
    OnVariableRemoved(*variable);
    m_variables.Delete(variable);
    return true;
}

void SWproperties2::RemoveAllVariables()
{
    // Deferred built-ins were never made: there is nothing of them to remove, and nothing views them.
    if (m_deferred.load(std::memory_order_acquire)) {
        const std::lock_guard<std::recursive_mutex> lock(g_deferredLock);
        if (!m_making)
            m_deferred.store(false, std::memory_order_release);
    }
    while (SWproperty* v = static_cast<SWproperty*>(m_variables.Tail())) {
        // The last variable may be viewed by none, but an earlier one may view it: remove through the rule.
        RemoveVariable(v);
    }
}

void SWproperties2::ResetToInitial()
{
    if (m_deferred.load(std::memory_order_acquire)) {
        const std::lock_guard<std::recursive_mutex> lock(g_deferredLock);
        if (m_deferred.load(std::memory_order_relaxed) && !m_making) {
            ResetDeferred(); // the list holds nothing else while they wait
            return;
        }
    }
    for (SWproperty* v = GetFirstVariable(); v != nullptr; v = GetNextVariable(v))
        v->ResetToInitial();
}

// -- Records

bool SWproperties2::WriteVariables(SWchunkstream& out) const
{
    if (m_deferred.load(std::memory_order_acquire))
        return out.Status() == 0; // built-ins only, and they are never saved
    for (SWproperty* v = GetFirstVariable(); v != nullptr; v = GetNextVariable(v)) {
        const uint32_t tag = RecordTagOf(v->GetType());
        if ((v->GetFlags() & SWproperty::kFlagSaved) == 0 || tag == 0)
            continue;
        SWrecordbuilder record(out, tag);
        v->Save(record.Stream());
        if (!record.Finish())
            return false;
    }
    return out.Status() == 0;
}

bool SWproperties2::ReadVariables(SWchunkstream& in)
{
    bool readAny = false; // a node that saved none leaves its deferred built-ins waiting
    for (;;) {
        const uint32_t tag = in.PeekTag();
        if (tag == kTagEnd)
            break;
        const uint32_t type = TypeOfRecordTag(tag);
        if (type == 0) {
            if (!in.SkipRecord())
                break;
            continue;
        }
        ReadOneVariable(in, type);
        readAny = true;
    }
    if (readAny)
        BindPendingVariables();
    return true;
}

void SWproperties2::ReserveStoredIds(SWchunkstream& in)
{
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (TypeOfRecordTag(tag) == 0) {
            if (!in.SkipRecord())
                return;
            continue;
        }
        in.TakeTag();
        SWproperty::ReserveStoredId(*in.OpenChild());
        if (in.Status() != 0)
            return;
    }
}

void SWproperties2::ReadOneVariable(SWchunkstream& in, uint32_t type)
{
    auto read = std::make_unique<SWproperty>(type);
    in.TakeTag();
    {
        std::unique_ptr<SWchunkstream> child = in.OpenChild();
        read->Load(*child); // a damaged record keeps what was read
    }
    KeepOrReplace(std::move(read));
}

// A variable read under a name the list holds replaces the older one, unless the older one is built in or viewed
// by others: deleting it would leave its views reading freed storage. It then takes the read value instead.
void SWproperties2::KeepOrReplace(std::unique_ptr<SWproperty> read)
{
    SWproperty* older = read->GetName() ? FindVariable(*read->GetName()) : nullptr;
    if (older != nullptr) {
        if (older->IsBuiltIn() || IsTargetOfBinding(older)) {
            if (!read->GetPendingTargetName() && read->HasValues()) {
                older->OverwriteAllCopies(read->GetInitialData());
            }
            return;
        }
        RemoveVariable(older);
    }
    AddVariable(std::move(read));
}

// Whether following start's target links (or, not yet bound, its pending name) reaches self.
bool SWproperties2::LeadsBackTo(const SWproperty& start, const SWproperty& self) const
{
    const SWproperty* at = &start;
    for (size_t steps = 0; at != nullptr && steps <= m_variables.Count(); ++steps) {
        if (at == &self)
            return true;
        if (at->GetTarget() != nullptr)
            at = at->GetTarget();
        else if (at->GetPendingTargetName())
            at = FindVariable(*at->GetPendingTargetName());
        else
            at = nullptr;
    }
    return at != nullptr; // longer than the list: a loop that does not pass through self
}

void SWproperties2::BindPendingVariables()
{
    std::vector<SWproperty*> pending;
    for (SWproperty* v = GetFirstVariable(); v != nullptr; v = GetNextVariable(v))
        if (v->GetPendingTargetName())
            pending.push_back(v);
    for (SWproperty* v : pending) {
        if (!m_variables.Contains(v))
            continue; // removed with a refused target
        SWproperty* target = FindVariable(*v->GetPendingTargetName());
        const bool refused = target == nullptr || !IsTypedValueType(v->GetType()) || LeadsBackTo(*target, *v);
        if (refused || !v->BindTo(*target)) {
            RemoveVariable(v);
            continue;
        }
        v->ClearPendingTargetName();
    }
}
