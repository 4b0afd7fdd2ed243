#include "engine/behaviour/expression_list.h"

#include <memory>
#include <unordered_set>
#include <vector>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/property.h"
#include "engine/core/data_node.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/scene_import.h"
#include "engine/core/type_tag.h"
#include "engine/core/unique_id.h"
#include "engine/core/world_sections.h"

namespace {

constexpr uint32_t kTagEntry = MakeTag("72EN");
constexpr uint32_t kTagEntryBody = MakeTag("7ESB");
constexpr int32_t kExecuteExpressionKind = 35;

// Kind 35: evaluates each entry it is aimed at and assigns the result. An argument that no longer names an entry
// of the world's list (a stale pointer) is never followed.
void ExecuteExpression(SWevent*, SWevents* world, const ActionTarget& target, const ActionSubject&)
{
    SWworld* const owner = world != nullptr ? world->AsWorld() : nullptr;
    const SWexpressionlist* const list = owner != nullptr ? SWexpressionlist::Find(*owner) : nullptr;
    const void* const entry = target.GetExpressionEntry();
    if (list == nullptr || entry == nullptr || !list->Holds(entry))
        return;
    SWexpression* const expression = static_cast<const SWexpressionentry*>(entry)->GetExpression();
    const std::unique_ptr<SWproperty> value = SWexpression::Evaluate(expression);
    expression->Execute(*value);
}

const bool kRegistered = RegisterActionHandler(kExecuteExpressionKind, ExecuteExpression);

// The stream root's "72EX": the world's expression list, read before the events whose actions name its entries.
bool WriteExpressionSection(SWworldwriting& out, SWchunkstream& payload)
{
    const SWexpressionlist* const list = SWexpressionlist::Find(out.World());
    return list == nullptr || list->Save(payload);
}

bool ReadExpressionSection(SWworldreading& in, SWchunkstream& payload)
{
    return SWexpressionlist::Of(in.World()).Load(payload);
}

// A merged entry's name must be unique in the target, as editors and the project's merge records find it by name;
// an unnamed entry stays unnamed.
std::string UniqueEntryName(const SWexpressionlist& target, const std::string& name)
{
    if (target.FindByName(name) == nullptr)
        return name;
    for (int suffix = 1;; ++suffix) {
        std::string candidate = name + "_" + std::to_string(suffix);
        if (target.FindByName(candidate) == nullptr)
            return candidate;
    }
}

// The import's entries move, so the kind-35 actions that hold them (which the events' merge brings after) still do.
void MergeExpressionSection(SWworld& target, SWworld& import, uint32_t kinds, MergeRecord& record)
{
    SWexpressionlist* from = SWexpressionlist::Find(import);
    if ((kinds & kMergeExpressions) == 0 || from == nullptr)
        return;
    SWexpressionlist& to = SWexpressionlist::Of(target);
    while (auto* entry = static_cast<SWexpressionentry*>(from->Entries().Head())) {
        std::unique_ptr<SWexpressionentry> moved = from->Unlink(entry);
        const std::optional<std::string> inFile = moved->GetExpression()->GetName();
        if (inFile)
            moved->GetExpression()->SetName(UniqueEntryName(to, *inFile));
        const std::string name = moved->GetExpression()->GetName().value_or("");
        record.entries.push_back({MergedKind::kExpression, moved->GetId(), name, inFile.value_or(""), moved.get()});
        to.Append(std::move(moved));
    }
}

bool RemoveMergedExpression(SWworld& target, const MergeEntry& entry)
{
    if (entry.kind != MergedKind::kExpression)
        return false;
    SWexpressionlist* list = SWexpressionlist::Find(target);
    SWexpressionentry* found = list != nullptr ? list->FindById(entry.id) : nullptr;
    if (found == nullptr && list != nullptr && !entry.name.empty())
        found = list->FindByName(entry.name);
    return found != nullptr && list->Remove(found);
}

// The entries' ids that Load keeps, reserved before anything of the file is read.
void ReserveExpressionIds(SWchunkstream& in)
{
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (tag != kTagEntry) {
            if (!in.SkipRecord())
                return;
            continue;
        }
        in.TakeTag();
        const std::unique_ptr<SWchunkstream> entry = in.OpenChild();
        for (uint32_t part = entry->PeekTag(); part != kTagEnd; part = entry->PeekTag()) {
            if (part != kTagEntryBody) {
                if (!entry->SkipRecord())
                    break;
                continue;
            }
            entry->TakeTag();
            ReserveObjectId(*entry->OpenChild());
        }
        if (in.Status() != SWchunkstream::kStatusGood)
            return;
    }
}

constexpr SWworldsectionhandler kExpressionSection = {.writeStream = &WriteExpressionSection,
                                                      .readStream = &ReadExpressionSection,
                                                      .reserveIds = &ReserveExpressionIds,
                                                      .merge = &MergeExpressionSection,
                                                      .removeMerged = &RemoveMergedExpression};
const SWworldsectionregistration kExpressionSectionRegistered(WorldSection::kExpressions, &kExpressionSection);

} // namespace

// -- Entries

SWexpressionentry::SWexpressionentry(std::unique_ptr<SWexpression> expression, uint32_t id)
    : m_expression(expression != nullptr ? std::move(expression) : std::make_unique<SWexpression>()), m_id(id)
{
}

SWexpressionentry::~SWexpressionentry() = default;

bool SWexpressionentry::Save(SWchunkstream& out) const
{
    SWrecordbuilder body(out, kTagEntryBody);
    SWchunkstream& s = body.Stream();
    s.WriteU32(m_id);
    s.WriteString(m_expression->GetText());
    s.WriteString(m_expression->GetName());
    s.WriteU32(m_expression->GetTargetVariableId());
    return body.Finish();
}

std::unique_ptr<SWexpressionentry> SWexpressionentry::Load(SWworld* world, SWchunkstream& in)
{
    std::unique_ptr<SWexpressionentry> entry;
    while (in.PeekTag() != kTagEnd) {
        if (in.PeekTag() != kTagEntryBody) {
            if (!in.SkipRecord())
                return nullptr;
            continue;
        }
        in.TakeTag();
        std::unique_ptr<SWchunkstream> body = in.OpenChild();
        const uint32_t id = ReadObjectId(*body);
        std::optional<std::string> text;
        std::optional<std::string> name;
        body->ReadString(text);
        body->ReadString(name);
        const uint32_t targetId = ReadReferencedId(*body);
        if (body->Status() != SWchunkstream::kStatusGood) {
            in.Fail(SWchunkstream::kStatusShortRead);
            return nullptr;
        }
        // Not compiled here: the nodes it names may be read later, and a text that does not compile stays as
        // written; the expression compiles when first used.
        auto expression = std::make_unique<SWexpression>(world);
        expression->SetText(std::move(text));
        expression->SetName(std::move(name));
        if (targetId != kIdNone && targetId != kIdUnset)
            expression->SetTargetVariableId(targetId);
        entry = std::make_unique<SWexpressionentry>(std::move(expression), id);
    }
    if (in.Status() != SWchunkstream::kStatusGood)
        return nullptr;
    return entry;
}

// -- The list

SWexpressionlist::~SWexpressionlist()
{
    m_entries.DeleteAll();
}

SWexpressionlist& SWexpressionlist::Of(SWworld& world)
{
    if (SWexpressionlist* list = Find(world))
        return *list;
    world.SetPart(WorldPart::kExpressions, std::make_unique<SWexpressionlist>(&world));
    return static_cast<SWexpressionlist&>(*world.GetPart(WorldPart::kExpressions));
}

SWexpressionlist* SWexpressionlist::Find(const SWworld& world)
{
    return dynamic_cast<SWexpressionlist*>(world.GetPart(WorldPart::kExpressions));
}

SWexpressionentry* SWexpressionlist::Add(std::unique_ptr<SWexpression> expression)
{
    if (expression == nullptr)
        return nullptr;
    if (expression->GetWorld() == nullptr)
        expression->SetWorld(m_world);
    auto* entry = new SWexpressionentry(std::move(expression), NextUniqueId());
    m_entries.AddTail(entry);
    return entry;
}

bool SWexpressionlist::Remove(SWexpressionentry* entry)
{
    if (!Holds(entry))
        return false;
    if (m_world != nullptr)
        for (SWevent* e = m_world->GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
            for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
                if (a->GetKindId() != kExecuteExpressionKind)
                    continue;
                SWlist& arguments = a->GetArguments();
                for (SWlistnode* n = arguments.Head(); n != nullptr;) {
                    SWlistnode* const next = n->Next();
                    auto* argument = static_cast<SWdatanode*>(n);
                    if (argument->GetType() == SWdatanode::kObject && argument->GetData(SWdatanode::kObject) == entry)
                        arguments.Delete(argument);
                    n = next;
                }
            }
    m_entries.Delete(entry);
    if (m_world != nullptr)
        m_world->RaiseStructureGeneration();
    return true;
}

std::unique_ptr<SWexpressionentry> SWexpressionlist::Unlink(SWexpressionentry* entry)
{
    if (!Holds(entry))
        return nullptr;
    m_entries.Remove(entry);
    if (m_world != nullptr)
        m_world->RaiseStructureGeneration();
    return std::unique_ptr<SWexpressionentry>(entry);
}

void SWexpressionlist::Append(std::unique_ptr<SWexpressionentry> entry)
{
    if (entry == nullptr)
        return;
    // Tokens and the target cached in another world are dropped: they resolve again, here, at the next use.
    SWexpression* expression = entry->GetExpression();
    expression->SetWorld(m_world);
    expression->SetText(expression->GetText());
    if (expression->GetTargetText())
        expression->SetTargetText(expression->GetTargetText());
    else
        expression->SetTargetVariableId(expression->GetTargetVariableId());
    m_entries.AddTail(entry.release());
}

SWexpressionentry* SWexpressionlist::FindByName(std::string_view name) const
{
    for (SWlistnode* n = m_entries.Head(); n != nullptr; n = n->Next()) {
        auto* entry = static_cast<SWexpressionentry*>(n);
        const std::optional<std::string>& own = entry->GetExpression()->GetName();
        if (own && *own == name)
            return entry;
    }
    return nullptr;
}

SWexpressionentry* SWexpressionlist::FindById(uint32_t id) const
{
    for (SWlistnode* n = m_entries.Head(); n != nullptr; n = n->Next())
        if (static_cast<SWexpressionentry*>(n)->GetId() == id)
            return static_cast<SWexpressionentry*>(n);
    return nullptr;
}

bool SWexpressionlist::Holds(const void* entry) const
{
    if (entry == nullptr)
        return false;
    for (const SWlistnode* n = m_entries.Head(); n != nullptr; n = n->Next())
        if (static_cast<const void*>(static_cast<const SWexpressionentry*>(n)) == entry)
            return true;
    return false;
}

bool SWexpressionlist::Save(SWchunkstream& out) const
{
    for (const SWlistnode* n = m_entries.Head(); n != nullptr; n = n->Next()) {
        SWrecordbuilder record(out, kTagEntry);
        if (!static_cast<const SWexpressionentry*>(n)->Save(record.Stream()) || !record.Finish())
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

bool SWexpressionlist::Load(SWchunkstream& in)
{
    std::vector<std::unique_ptr<SWexpressionentry>> read;
    std::unordered_set<uint32_t> ids;
    for (SWlistnode* n = m_entries.Head(); n != nullptr; n = n->Next())
        ids.insert(static_cast<SWexpressionentry*>(n)->GetId());
    while (in.PeekTag() != kTagEnd) {
        if (in.PeekTag() != kTagEntry) {
            if (!in.SkipRecord())
                return false;
            continue;
        }
        in.TakeTag();
        std::unique_ptr<SWexpressionentry> entry;
        {
            std::unique_ptr<SWchunkstream> child = in.OpenChild();
            entry = SWexpressionentry::Load(m_world, *child);
            if (child->Status() != SWchunkstream::kStatusGood)
                in.Fail(child->Status());
        }
        if (in.Status() != SWchunkstream::kStatusGood)
            return false;
        if (entry == nullptr)
            continue; // a "72EN" without a "7ESB" holds nothing
        // Two entries of one id would make FindById answer the wrong one: the second gets a fresh id.
        if (!ids.insert(entry->GetId()).second || entry->GetId() == kIdNone || entry->GetId() == kIdUnset) {
            entry->SetId(NextUniqueId());
            ids.insert(entry->GetId());
        }
        read.push_back(std::move(entry));
    }
    if (in.Status() != SWchunkstream::kStatusGood)
        return false;
    for (auto& entry : read)
        m_entries.AddTail(entry.release());
    return true;
}
