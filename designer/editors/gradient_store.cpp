#include "designer/editors/gradient_store.h"

#include <memory>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/project_records.h"
#include "designer/app/registry.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/node.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"

namespace {

constexpr uint32_t kTagCurrent = MakeTag("PRW4");
constexpr uint32_t kTagOld = MakeTag("PRW3");
// One older record: its name's length word and 290 words of fields.
constexpr uint64_t kOldRecordMinimum = 4 + 4 * (64 + 32 + 1 + 64 + 64 + 1);

std::optional<std::string> NodeName(const SWnode* node)
{
    return node != nullptr ? node->GetName() : std::nullopt;
}

} // namespace

// -- A record

void CVTND_GradientPersinstancyNode::Attach(const SWworld& world, SWnode* node)
{
    m_node = NodeRef(world, node);
    if (std::optional<std::string> name = NodeName(node))
        m_name = std::move(name);
}

std::string CVTND_GradientPersinstancyNode::CurrentName(const SWworld* world) const
{
    if (std::optional<std::string> name = NodeName(m_node.Get(world)))
        return *name;
    return m_name.value_or(std::string());
}

bool CVTND_GradientPersinstancyNode::LoadIntoControl(CVTND_Gradient& control) const
{
    if (!m_present)
        return false;
    CVTND_GradientFields fields = m_fields;
    fields.mouseCapture = 0;
    control.SetFields(fields);
    return true;
}

void CVTND_GradientPersinstancyNode::StoreFromControl(const CVTND_Gradient& control)
{
    m_fields = control.GetFields();
    m_present = true;
}

bool CVTND_GradientPersinstancyNode::Write(SWchunkstream& out, const SWworld* world) const
{
    out.WriteU8(m_present ? 1 : 0);
    if (!m_present)
        return out.Status() == SWchunkstream::kStatusGood;
    out.WriteString(CurrentName(world));
    for (size_t i = 0; i < 64; ++i) {
        out.WriteU32(m_fields.colourTable[i]);
        out.WriteI32(m_fields.keyPositions[i]);
        out.WriteU32(m_fields.keyColours[i]);
    }
    for (size_t i = 0; i < 32; ++i) {
        out.WriteF32(m_fields.curveValues[i]);
        out.WriteI32(m_fields.curvePointPositions[i]);
    }
    out.WriteU32(m_fields.curvePointCount);
    out.WriteU32(m_fields.keyCount);
    out.WriteI32(m_fields.selectedKey);
    out.WriteI32(m_fields.selectedCurvePoint);
    out.WriteU8(m_fields.mouseCapture != 0 ? 1 : 0);
    out.WriteI32(m_fields.leftMargin);
    return out.Status() == SWchunkstream::kStatusGood;
}

bool CVTND_GradientPersinstancyNode::Read(SWchunkstream& in)
{
    m_present = false;
    const uint8_t present = in.ReadU8();
    if (in.Status() != SWchunkstream::kStatusGood)
        return false;
    if (present == 0)
        return true;
    std::optional<std::string> name;
    in.ReadString(name);
    CVTND_GradientFields f;
    for (size_t i = 0; i < 64; ++i) {
        f.colourTable[i] = in.ReadU32();
        f.keyPositions[i] = in.ReadI32();
        f.keyColours[i] = in.ReadU32();
    }
    for (size_t i = 0; i < 32; ++i) {
        f.curveValues[i] = in.ReadF32();
        f.curvePointPositions[i] = in.ReadI32();
    }
    f.curvePointCount = in.ReadU32();
    f.keyCount = in.ReadU32();
    f.selectedKey = in.ReadI32();
    f.selectedCurvePoint = in.ReadI32();
    f.mouseCapture = in.ReadU8() != 0 ? 1 : 0;
    f.leftMargin = in.ReadI32();
    if (in.Status() != SWchunkstream::kStatusGood)
        return false;
    m_name = std::move(name);
    // The gradient control holds 64 keys and 32 curve points: counts and selections beyond them are damage.
    if (f.keyCount > CVTND_GradientFields::kMaxKeys || f.curvePointCount > CVTND_GradientFields::kMaxCurvePoints ||
        f.selectedKey < -1 || f.selectedKey >= static_cast<int32_t>(f.keyCount) || f.selectedCurvePoint < -1 ||
        f.selectedCurvePoint >= static_cast<int32_t>(f.curvePointCount))
        return false;
    m_fields = f;
    m_present = true;
    return true;
}

bool CVTND_GradientPersinstancyNode::ReadOld(SWchunkstream& in)
{
    m_present = false;
    std::optional<std::string> name;
    in.ReadString(name);
    // Its fields are consumed and never reach the editor.
    if (in.Status() != SWchunkstream::kStatusGood || !in.Skip(4 * (64 + 32 + 1 + 64 + 64 + 1)))
        return false;
    m_name = std::move(name);
    return in.Status() == SWchunkstream::kStatusGood;
}

// -- The store

CVTND_GradientPersinstancyNode* CVTND_GradientPersinstancy::FindOrCreate(const SWworld& world, SWnode* node,
                                                                         bool create)
{
    if (node == nullptr)
        return nullptr;
    for (CVTND_GradientPersinstancyNode* r = First(); r != nullptr; r = Next(r)) {
        if (r->ResolveNode(&world) == node)
            return r;
    }
    if (const std::optional<std::string> name = node->GetName()) {
        CVTND_GradientPersinstancyNode* named = FindByName(&world, *name);
        // A record another live node holds stays that node's.
        if (named != nullptr && named->ResolveNode(&world) == nullptr) {
            named->Attach(world, node);
            return named;
        }
    }
    if (!create)
        return nullptr;
    auto record = std::make_unique<CVTND_GradientPersinstancyNode>();
    record->Attach(world, node);
    CVTND_GradientPersinstancyNode* made = record.get();
    Append(record.release());
    return made;
}

CVTND_GradientPersinstancyNode* CVTND_GradientPersinstancy::FindByName(const SWworld* world,
                                                                       const std::string& name) const
{
    for (CVTND_GradientPersinstancyNode* r = First(); r != nullptr; r = Next(r)) {
        std::optional<std::string> own = r->GetStoredName();
        if (!own)
            own = NodeName(r->ResolveNode(world));
        if (own && *own == name)
            return r;
    }
    return nullptr;
}

void CVTND_GradientPersinstancy::RemoveObject(const SWworld& world, const SWnode* node)
{
    for (CVTND_GradientPersinstancyNode* r = First(); r != nullptr; r = Next(r)) {
        if (node != nullptr && r->ResolveNode(&world) == node) {
            m_records.Delete(r);
            return;
        }
    }
}

bool CVTND_GradientPersinstancy::WriteRecords(SWchunkstream& out, const SWworld* world) const
{
    for (const CVTND_GradientPersinstancyNode* r = First(); r != nullptr; r = Next(r)) {
        if (!r->IsPresent())
            continue; // its record would be the single byte 0, which reads as nothing
        SWrecordbuilder record(out, kTagCurrent);
        if (!r->Write(record.Stream(), world) || !record.Finish())
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

bool CVTND_GradientPersinstancy::ReadCurrent(SWchunkstream& payload)
{
    auto record = std::make_unique<CVTND_GradientPersinstancyNode>();
    if (!record->Read(payload))
        return false;
    // One that is not present holds nothing, not even a name: kept, a million of its nine bytes took a gigabyte.
    if (record->IsPresent())
        Append(record.release());
    return true;
}

bool CVTND_GradientPersinstancy::ReadOldList(SWchunkstream& payload)
{
    const uint32_t count = payload.ReadU32();
    if (payload.Status() != SWchunkstream::kStatusGood)
        return false;
    // The count is only a claim: the list ends where its record does.
    for (uint32_t i = 0; i < count; ++i) {
        if (payload.Remaining() < kOldRecordMinimum)
            return false;
        auto record = std::make_unique<CVTND_GradientPersinstancyNode>();
        if (!record->ReadOld(payload))
            return false;
        Append(record.release());
    }
    return true;
}

// -- The project item's handlers, the store's creator and its reference dropper

namespace {

CVTND_GradientPersinstancy* StoreOf(CVTND_GradientStore* store)
{
    return dynamic_cast<CVTND_GradientPersinstancy*>(store);
}

bool WriteGradients(CVTND_ProjectWriting& out, SWchunkstream& payload)
{
    const CVTND_GradientPersinstancy* store = StoreOf(out.gradients);
    return store == nullptr || store->WriteRecords(payload, &out.world);
}

ProjectRecordRead ReadGradients(CVTND_ProjectReading& in, uint32_t tag, SWchunkstream& payload)
{
    CVTND_GradientPersinstancy* store = StoreOf(in.gradients);
    if (store == nullptr)
        return ProjectRecordRead::kOk;
    const bool read = tag == kTagOld ? store->ReadOldList(payload) : store->ReadCurrent(payload);
    return read ? ProjectRecordRead::kOk : ProjectRecordRead::kDamagedOptional;
}

constexpr CVTND_ProjectRecordHandler kCurrentHandler = {&WriteGradients, &ReadGradients};
constexpr CVTND_ProjectRecordHandler kOldHandler = {nullptr, &ReadGradients};
const CVTND_ProjectRecordRegistration kCurrentRegistered(kTagCurrent, &kCurrentHandler);
const CVTND_ProjectRecordRegistration kOldRegistered(kTagOld, &kOldHandler);

std::unique_ptr<CVTND_GradientStore> MakeStore()
{
    return std::make_unique<CVTND_GradientPersinstancy>();
}
const CVTND_GradientStoreRegistration kStoreRegistered(&MakeStore);

void DropGradient(CVTNDesignerApp& app, const CVTND_Object& object, uint32_t)
{
    CVTND_GradientPersinstancy* store = StoreOf(app.GetGradientStore());
    SWworld* world = app.GetWorld();
    if (store != nullptr && world != nullptr && object.IsType(ObjectType::kParticleNode))
        store->RemoveObject(*world, static_cast<const SWnode*>(object.GetObject()));
}
const CVTND_ReferenceDropperRegistration kDropperRegistered(&DropGradient);

} // namespace
