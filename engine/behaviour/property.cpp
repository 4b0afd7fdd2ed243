#include "engine/behaviour/property.h"

#include <cmath>
#include <cstring>

#include "engine/behaviour/variable_operators.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/vector.h"

namespace {

constexpr uint32_t kTagOwnValue = MakeTag("7499");
constexpr uint32_t kTagBoundValue = MakeTag("7497");
constexpr uint32_t kTagId = MakeTag("7498");

int OrderCode(bool less, bool greater)
{
    if (less)
        return SWproperty::kCompareDifferent | SWproperty::kCompareLess;
    if (greater)
        return SWproperty::kCompareDifferent | SWproperty::kCompareGreater;
    return SWproperty::kCompareEqual;
}

int FloatOrderCode(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return SWproperty::kCompareDifferent | SWproperty::kCompareLess;
    return OrderCode(a<b, a> b);
}

float SquaredLength(const SWvector& v)
{
    return v.x * v.x + v.y * v.y + v.z * v.z;
}

float SquaredNorm(const CVTN_Quaternion& q)
{
    return q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
}

// The value of one type read from a record, stored in all three copies by the caller.
bool ReadValueOfType(SWchunkstream& in, uint32_t type, TypedValueData& out)
{
    out = TypedValueData::Default(type);
    switch (type) {
    case kTypeString:
        return in.ReadString(out.text);
    case kTypeInteger:
        return in.ReadI32(out.integer);
    case kTypeBoolean:
        out.integer = in.ReadU8() == 1 ? 1 : 0;
        return in.Status() == 0;
    case kTypeFloat:
    case kTypeVector:
    case kTypeQuaternion:
    case kTypeMatrix:
        for (int i = 0; i < TypedElementCount(type); ++i)
            out.elements[static_cast<size_t>(i)] = in.ReadF32();
        return in.Status() == 0;
    default:
        return false;
    }
}

void WriteValue(SWchunkstream& out, const TypedValueData& value)
{
    switch (value.type) {
    case kTypeString:
        out.WriteString(value.text);
        break;
    case kTypeInteger:
        out.WriteI32(value.integer);
        break;
    case kTypeBoolean:
        out.WriteU8(value.integer != 0 ? 1 : 0);
        break;
    default:
        for (int i = 0; i < TypedElementCount(value.type); ++i)
            out.WriteF32(value.elements[static_cast<size_t>(i)]);
        break;
    }
}

} // namespace

// -- Slots

TypedValue* SWproperty::Slot::Value() const
{
    return m_owner.ValueOf(m_which);
}

TypedValueData SWproperty::Slot::ReadTarget(uint32_t type, int16_t index) const
{
    const TypedValue* value = Value();
    return value != nullptr ? value->ReadTarget(type, index) : TypedValueData::Default(type);
}

void SWproperty::Slot::WriteTarget(const TypedValueData& value, int16_t index)
{
    if (TypedValue* target = Value())
        target->WriteTarget(value, index);
}

// -- Construction

SWproperty::SWproperty(uint32_t type) : m_type(type)
{
    MakeOwnValues(type);
}

SWproperty::SWproperty(uint32_t type, SWproperty& target, int16_t index) : m_type(type), m_index(index)
{
    if (&target != this && MakeBoundValues(type, target))
        m_target = &target;
    else
        m_index = -1;
}

SWproperty::SWproperty(uint32_t type, std::unique_ptr<TypedValue> initial, std::unique_ptr<TypedValue> current,
                       std::unique_ptr<TypedValue> previous)
    : m_initial(std::move(initial)), m_current(std::move(current)), m_previous(std::move(previous)), m_type(type)
{
}

std::unique_ptr<SWproperty> SWproperty::SWpropertyFromText(std::string_view text)
{
    auto variable = std::make_unique<SWproperty>(kTypeString);
    variable->SetStringAll(text);
    return variable;
}

std::unique_ptr<SWproperty> SWproperty::SWpropertyFromMatrix(const SWmatrix& m)
{
    auto variable = std::make_unique<SWproperty>(kTypeMatrix);
    variable->SetMatrixAll(m);
    return variable;
}

SWproperty::~SWproperty() = default;

void SWproperty::SetFlags(uint8_t bits, bool on)
{
    m_flags = on ? static_cast<uint8_t>(m_flags | bits) : static_cast<uint8_t>(m_flags & ~bits);
}

bool SWproperty::MakeOwnValues(uint32_t type)
{
    m_initial = CreateTypedValue(type);
    m_current = CreateTypedValue(type);
    m_previous = CreateTypedValue(type);
    return m_current != nullptr;
}

bool SWproperty::MakeBoundValues(uint32_t type, SWproperty& target)
{
    auto initial = CreateBoundTypedValue(type, target.m_slots[0], 1);
    auto current = CreateBoundTypedValue(type, target.m_slots[1], 1);
    auto previous = CreateBoundTypedValue(type, target.m_slots[2], 1);
    if (!initial || !current || !previous)
        return false;
    // The index as read, even one beyond the target's elements: such a view reads the default and writes nothing.
    initial->SetTargetIndex(m_index);
    current->SetTargetIndex(m_index);
    previous->SetTargetIndex(m_index);
    m_initial = std::move(initial);
    m_current = std::move(current);
    m_previous = std::move(previous);
    return true;
}

TypedValue* SWproperty::ValueOf(int which) const
{
    switch (which) {
    case 0:
        return m_initial.get();
    case 1:
        return m_current.get();
    default:
        return m_previous.get();
    }
}

bool SWproperty::SetType(uint32_t type)
{
    if (!IsTypedValueType(type))
        return false;
    m_type = type;
    if (m_target != nullptr)
        return MakeBoundValues(type, *m_target);
    return MakeOwnValues(type);
}

std::unique_ptr<SWproperty> SWproperty::Clone() const
{
    if (m_target != nullptr)
        return std::make_unique<SWproperty>(m_type, *m_target, BoundIndex(m_index));
    auto copy = std::make_unique<SWproperty>(m_type);
    if (copy->HasValues() && HasValues()) {
        copy->SetAllFromData(GetInitialData());
        copy->AssignData(GetCurrentData());
    }
    return copy;
}

bool SWproperty::BindTo(SWproperty& target)
{
    if (&target == this || !IsTypedValueType(m_type) || !MakeBoundValues(m_type, target))
        return false;
    m_target = &target;
    return true;
}

// -- Initialising

void SWproperty::SetAllFromData(const TypedValueData& value)
{
    if (m_target != nullptr || !HasValues())
        return;
    m_initial->Set(value);
    m_current->Set(value);
    m_previous->Set(value);
}

void SWproperty::OverwriteAllCopies(const TypedValueData& value)
{
    if (!HasValues())
        return;
    m_initial->Set(value);
    m_current->Set(value);
    m_previous->Set(value);
}

void SWproperty::SetAllFromValue(const SWproperty& other)
{
    SetAllFromData(other.GetInitialData());
}

void SWproperty::SetStringAll(std::string_view text)
{
    SetAllFromData(TypedValueData::OfString(text));
}

void SWproperty::SetFloatAll(float value)
{
    SetAllFromData(TypedValueData::OfFloat(value));
}

void SWproperty::SetMatrixAll(const SWmatrix& m)
{
    SetAllFromData(TypedValueData::OfMatrix(m));
}

void SWproperty::ResetToInitial()
{
    if (m_target == nullptr && HasValues())
        m_current->SetFromValue(*m_initial);
}

void SWproperty::StoreCurrentValue()
{
    if (m_target == nullptr && HasValues())
        m_initial->SetFromValue(*m_current);
}

// -- Assigning

void SWproperty::AssignData(const TypedValueData& value)
{
    if (!HasValues())
        return;
    m_previous->Set(m_current->Get());
    m_current->Set(value);
}

void SWproperty::Assign(const SWproperty& other)
{
    AssignData(other.GetCurrentData());
}

void SWproperty::AssignInt(int32_t value)
{
    AssignData(TypedValueData::OfInteger(value));
}

void SWproperty::AssignBool(bool value)
{
    AssignData(TypedValueData::OfBoolean(value));
}

void SWproperty::AssignString(std::string_view text)
{
    AssignData(TypedValueData::OfString(text));
}

void SWproperty::AssignFloat(float value)
{
    AssignData(TypedValueData::OfFloat(value));
}

void SWproperty::AssignVector(float x, float y, float z)
{
    AssignData(TypedValueData::OfVector({x, y, z}));
}

void SWproperty::AssignQuaternion(const CVTN_Quaternion& q)
{
    AssignData(TypedValueData::OfQuaternion(q));
}

void SWproperty::AssignMatrix(const SWmatrix& m)
{
    AssignData(TypedValueData::OfMatrix(m));
}

// -- Reading

TypedValueData SWproperty::GetCurrentData() const
{
    return m_current ? m_current->Get() : TypedValueData::Default(m_type);
}

TypedValueData SWproperty::GetInitialData() const
{
    return m_initial ? m_initial->Get() : TypedValueData::Default(m_type);
}

TypedValueData SWproperty::GetPreviousData() const
{
    return m_previous ? m_previous->Get() : TypedValueData::Default(m_type);
}

int32_t SWproperty::GetAsInt() const
{
    return ConvertTypedData(GetCurrentData(), kTypeInteger).integer;
}

bool SWproperty::GetAsBool() const
{
    return ConvertTypedData(GetCurrentData(), kTypeBoolean).integer != 0;
}

std::string SWproperty::GetAsString() const
{
    return ConvertTypedData(GetCurrentData(), kTypeString).text;
}

float SWproperty::GetAsFloat() const
{
    return ConvertTypedData(GetCurrentData(), kTypeFloat).elements[0];
}

SWvector SWproperty::GetAsVector() const
{
    return ConvertTypedData(GetCurrentData(), kTypeVector).Vector();
}

CVTN_Quaternion SWproperty::GetAsQuaternion() const
{
    return ConvertTypedData(GetCurrentData(), kTypeQuaternion).Quaternion();
}

SWmatrix SWproperty::GetAsMatrix() const
{
    return ConvertTypedData(GetCurrentData(), kTypeMatrix).Matrix();
}

std::string SWproperty::GetInitialString() const
{
    return ConvertTypedData(GetInitialData(), kTypeString).text;
}

SWmatrix SWproperty::GetInitialMatrix() const
{
    return ConvertTypedData(GetInitialData(), kTypeMatrix).Matrix();
}

// -- Change test and comparison

bool SWproperty::HasChanged() const
{
    // The chain is acyclic: bindings to itself or into a loop are refused when they are made.
    const SWproperty* end = this;
    while (end->m_target != nullptr)
        end = end->m_target;
    if (!end->HasValues())
        return true;
    const TypedValueData previous = end->m_previous->Get();
    const TypedValueData current = ConvertTypedData(end->m_current->Get(), previous.type);
    switch (previous.type) {
    case kTypeString:
        return previous.text != current.text;
    case kTypeInteger:
    case kTypeBoolean:
        return previous.integer != current.integer;
    case kTypeFloat:
    case kTypeVector:
    case kTypeQuaternion:
    case kTypeMatrix:
        for (int i = 0; i < TypedElementCount(previous.type); ++i) {
            const float a = previous.elements[static_cast<size_t>(i)];
            const float b = current.elements[static_cast<size_t>(i)];
            if (!(a == b)) // an unordered pair counts as changed
                return true;
        }
        return false;
    default:
        return true;
    }
}

int SWproperty::Compare(const SWproperty& right) const
{
    const TypedValueData r = ConvertTypedData(right.GetCurrentData(), m_type);
    const TypedValueData l = GetCurrentData();
    switch (m_type) {
    case kTypeString: {
        const int order = std::strcmp(l.text.c_str(), r.text.c_str()); // byte-wise, unsigned
        return OrderCode(order<0, order> 0);
    }
    case kTypeInteger:
        return OrderCode(l.integer<r.integer, l.integer> r.integer);
    case kTypeBoolean:
        return (l.integer != 0) == (r.integer != 0) ? kCompareEqual : kCompareDifferent;
    case kTypeFloat:
        return FloatOrderCode(l.elements[0], r.elements[0]);
    case kTypeVector:
        return FloatOrderCode(SquaredLength(l.Vector()), SquaredLength(r.Vector()));
    case kTypeQuaternion:
        return FloatOrderCode(SquaredNorm(l.Quaternion()), SquaredNorm(r.Quaternion()));
    case kTypeMatrix:
        for (size_t i = 0; i < 16; ++i)
            if (!(l.elements[i] == r.elements[i]))
                return kCompareDifferent;
        return kCompareEqual;
    default:
        return kCompareDifferent;
    }
}

// -- Operator table

std::unique_ptr<SWproperty> SWproperty::ApplyOperator(const SWproperty& right, int op) const
{
    TypedValueData value;
    if (!ApplyVariableOperator(GetCurrentData(), right.GetCurrentData(), op, value))
        return nullptr;
    auto result = std::make_unique<SWproperty>(value.type);
    result->AssignData(value);
    return result;
}

// -- Records

bool SWproperty::Save(SWchunkstream& out) const
{
    if (m_target != nullptr) {
        SWrecordbuilder bound(out, kTagBoundValue);
        SWchunkstream& s = bound.Stream();
        s.WriteU32(m_type);
        s.WriteString(m_name);
        s.WriteString(m_target->GetName());
        s.WriteU16(static_cast<uint16_t>(m_index));
        bound.Finish();
    } else {
        SWrecordbuilder own(out, kTagOwnValue);
        SWchunkstream& s = own.Stream();
        s.WriteU8(m_flags);
        s.WriteString(m_name);
        s.WriteString(m_secondText);
        const TypedValueData initial = GetInitialData();
        s.WriteU32(HasValues() ? initial.type : m_type);
        if (HasValues())
            WriteValue(s, initial);
        own.Finish();
    }
    SWrecordbuilder id(out, kTagId);
    id.Stream().WriteU32(m_id);
    id.Finish();
    return out.Status() == 0;
}

bool SWproperty::LoadOwnRecord(SWchunkstream& in)
{
    m_flags = in.ReadU8();
    in.ReadString(m_name);
    in.ReadString(m_secondText);
    const uint32_t valueType = in.ReadU32();
    TypedValueData value;
    if (!ReadValueOfType(in, valueType, value)) {
        in.Fail(SWchunkstream::kStatusShortRead);
        return false;
    }
    if (HasValues() && m_target == nullptr) {
        m_initial->Set(value);
        m_current->Set(value);
        m_previous->Set(value);
    }
    return in.Status() == 0;
}

bool SWproperty::LoadBoundRecord(SWchunkstream& in)
{
    m_type = in.ReadU32();
    in.ReadString(m_name);
    m_secondText = m_name;
    in.ReadString(m_pendingTarget);
    m_index = static_cast<int16_t>(in.ReadU16());
    m_flags = kDefaultFlags;
    if (!m_pendingTarget)
        m_pendingTarget = std::string(); // bound without a name: binding finds nothing and refuses it
    return in.Status() == 0;
}

void SWproperty::ReserveStoredId(SWchunkstream& in)
{
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (tag != kTagId) {
            if (!in.SkipRecord())
                return;
            continue;
        }
        in.TakeTag();
        ReserveObjectId(*in.OpenChild());
        if (in.Status() != 0)
            return;
    }
}

bool SWproperty::Load(SWchunkstream& in)
{
    for (;;) {
        const uint32_t tag = in.PeekTag();
        if (tag == kTagEnd)
            return in.Status() == 0;
        if (tag != kTagOwnValue && tag != kTagBoundValue && tag != kTagId) {
            if (!in.SkipRecord())
                return false;
            continue;
        }
        in.TakeTag();
        bool good = false;
        {
            std::unique_ptr<SWchunkstream> child = in.OpenChild();
            if (tag == kTagOwnValue)
                good = LoadOwnRecord(*child);
            else if (tag == kTagBoundValue)
                good = LoadBoundRecord(*child);
            else if (const uint32_t id = ReadObjectId(*child); child->Status() == 0) {
                m_id = id;
                good = true;
            }
            good = good && child->Status() == 0;
        }
        if (!good || in.Status() != 0)
            return false;
    }
}
