#pragma once
// SWproperty: a user variable (the user's word is property), a named value of one of the seven value types held in
// three copies: the initial value (what it is created, reset and saved with), the current value (what runs read and
// assign) and the previous value (the current one as it stood before the last assignment, for HasChanged).
//
// A variable has its own storage or is bound: a bound variable views another variable of its list (its target) at
// an element index, so that every get and set of its three copies goes through to the target's three copies. A
// binding goes through the target's slots, which outlive a change of the target's type.
//
// Names are compared byte for byte; a variable without a name (nullopt) never matches one.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/behaviour/variable_operators.h"
#include "engine/core/list_node.h"
#include "engine/core/typed_value.h"

class CVTN_Quaternion;
class SWchunkstream;
class SWmatrix;
class SWproperties2;
class SWvector;

class SWproperty : public SWlistnode {
public:
    static constexpr uint8_t kFlagBuiltIn = 1;    // name and type are fixed (an object node's transform variables)
    static constexpr uint8_t kFlagEditable = 2;   // the user may edit it
    static constexpr uint8_t kFlagSaved = 4;      // written when its owner is saved
    static constexpr uint8_t kFlagUser = 8;       // made by the user
    static constexpr uint8_t kFlagTemporary = 16; // a constant or intermediate of an expression; its owner deletes it
    static constexpr uint8_t kDefaultFlags = kFlagEditable | kFlagSaved | kFlagUser;

    static constexpr int kOperatorAdd = 0;
    static constexpr int kOperatorSubtract = 1;
    static constexpr int kOperatorMultiply = 2;
    static constexpr int kOperatorDivide = 3;

    static constexpr int kCompareEqual = 1;
    static constexpr int kCompareDifferent = 2;
    static constexpr int kCompareGreater = 4; // always with kCompareDifferent
    static constexpr int kCompareLess = 8;    // always with kCompareDifferent

    explicit SWproperty(uint32_t type);                           // own storage, the type's default in all three
    SWproperty(uint32_t type, SWproperty& target, int16_t index); // bound; target outlives this variable
    // Own storage in the values given (all three of one type, non-null); the node's transform variable uses it.
    SWproperty(uint32_t type, std::unique_ptr<TypedValue> initial, std::unique_ptr<TypedValue> current,
               std::unique_ptr<TypedValue> previous);
    static std::unique_ptr<SWproperty> SWpropertyFromText(std::string_view text);
    static std::unique_ptr<SWproperty> SWpropertyFromMatrix(const SWmatrix& m);
    ~SWproperty() override;
    SWproperty(const SWproperty&) = delete;
    SWproperty& operator=(const SWproperty&) = delete;

    // -- Identity
    uint32_t GetType() const { return m_type; }
    bool HasValues() const { return m_current != nullptr; } // false for a type code outside the seven
    uint8_t GetFlags() const { return m_flags; }
    void SetFlags(uint8_t bits, bool on);
    void SetAllFlags(uint8_t flags) { m_flags = flags; }
    bool IsBuiltIn() const { return (m_flags & kFlagBuiltIn) != 0; }
    const std::optional<std::string>& GetName() const { return m_name; }
    void SetName(std::optional<std::string> name) { m_name = std::move(name); }
    const std::optional<std::string>& GetSecondText() const { return m_secondText; }
    void SetSecondText(std::optional<std::string> text) { m_secondText = std::move(text); }
    uint32_t GetId() const { return m_id; }
    void SetId(uint32_t id) { m_id = id; } // as read; AddVariable replaces 0 or a duplicate
    bool IsActive() const { return m_active != 0; }
    void SetActive(bool active) { m_active = active ? 1 : 0; }
    SWproperties2* GetOwner() const { return m_owner; }
    SWproperty* GetTarget() const { return m_target; } // null for own storage
    bool IsBound() const { return m_target != nullptr; }
    int16_t GetIndex() const { return m_index; } // -1 when not bound
    const std::optional<std::string>& GetPendingTargetName() const { return m_pendingTarget; }

    // Replaces the three values by the new type's defaults (bound again when bound). False, nothing changed: a type
    // code outside the seven.
    bool SetType(uint32_t type);
    // A new variable of the same type: own storage gets the source's initial value in all three copies, then its
    // current value assigned; a bound one views the same target at the same index (0 for -1). Caller owns.
    std::unique_ptr<SWproperty> Clone() const;

    // -- Initialising (all three copies; nothing for a bound variable)
    void SetAllFromValue(const SWproperty& other); // from other's initial value
    void SetStringAll(std::string_view text);
    void SetFloatAll(float value);
    void SetMatrixAll(const SWmatrix& m);
    void SetAllFromData(const TypedValueData& value);     // converted into this type
    void OverwriteAllCopies(const TypedValueData& value); // all three, through a binding too
    void ResetToInitial();                                // current := initial; nothing for a bound variable
    void StoreCurrentValue();                             // initial := current; nothing for a bound variable

    // -- Assigning (previous := current, then current := the value; bound variables too)
    void Assign(const SWproperty& other); // from other's current value
    void AssignInt(int32_t value);
    void AssignBool(bool value);
    void AssignString(std::string_view text);
    void AssignFloat(float value);
    void AssignVector(float x, float y, float z);
    void AssignQuaternion(const CVTN_Quaternion& q);
    void AssignMatrix(const SWmatrix& m);
    void AssignData(const TypedValueData& value);

    // -- Reading the current value (a variable without values reads the asked type's default)
    int32_t GetAsInt() const;
    bool GetAsBool() const;
    std::string GetAsString() const;
    float GetAsFloat() const;
    SWvector GetAsVector() const;
    CVTN_Quaternion GetAsQuaternion() const;
    SWmatrix GetAsMatrix() const;
    std::string GetInitialString() const;
    SWmatrix GetInitialMatrix() const;
    TypedValueData GetCurrentData() const; // of this type; Default(type) without values
    // The current value of an integer, boolean or float variable without copying it; false for the other types.
    bool ReadScalar(SWscalarvalue& out) const
    {
        if (!IsScalarType(m_type))
            return false;
        if (const TypedValueData* stored = m_current != nullptr ? m_current->Stored() : nullptr) {
            out = {m_type, stored->integer, stored->elements[0]};
            return true;
        }
        const TypedValueData value = GetCurrentData();
        out = {m_type, value.integer, value.elements[0]};
        return true;
    }
    bool ReadFloat(float& out) const // the same for a float variable alone
    {
        if (m_type != kTypeFloat)
            return false;
        const TypedValueData* stored = m_current != nullptr ? m_current->Stored() : nullptr;
        out = stored != nullptr ? stored->elements[0] : GetCurrentData().elements[0];
        return true;
    }
    TypedValueData GetInitialData() const;
    TypedValueData GetPreviousData() const;

    bool HasChanged() const;                    // the end of the target chain: current differs from previous
    int Compare(const SWproperty& right) const; // the comparison code (kCompare...)
    // left (this) operator right as a new variable of the table's result type; null when the table has no row
    // for the pair. Caller owns.
    std::unique_ptr<SWproperty> ApplyOperator(const SWproperty& right, int op) const;

    // -- Records: the payload of one variable record (sub-records "7499" or "7497", then "7498")
    bool Save(SWchunkstream& out) const;
    bool Load(SWchunkstream& in); // false: a sub-record ended early or the stream failed; what was read is kept
    static void ReserveStoredId(SWchunkstream& in); // the id Load will take, reserved ahead (ReserveObjectId)

    // -- For SWproperties2
    void SetOwner(SWproperties2* owner) { m_owner = owner; }
    bool BindTo(SWproperty& target); // binds to target at the stored index; false: target's type is unusable
    void ClearPendingTargetName() { m_pendingTarget.reset(); }

private:
    // A stable forwarding point into one of the three copies: a bound variable binds here, not to the copy itself,
    // so that the target may replace its copies (SetType) without leaving a view pointing at freed storage.
    class Slot : public TypedValueTarget {
    public:
        Slot(const SWproperty& owner, int which) : m_owner(owner), m_which(which) {}
        TypedValueData ReadTarget(uint32_t type, int16_t index) const override;
        void WriteTarget(const TypedValueData& value, int16_t index) override;

    private:
        TypedValue* Value() const;
        const SWproperty& m_owner; // the slot is a member of its owner
        const int m_which;         // 0 initial, 1 current, 2 previous
    };

    bool MakeOwnValues(uint32_t type);
    bool MakeBoundValues(uint32_t type, SWproperty& target);
    bool LoadOwnRecord(SWchunkstream& in);
    bool LoadBoundRecord(SWchunkstream& in);
    TypedValue* ValueOf(int which) const;
    static int16_t BoundIndex(int16_t index) { return index < 0 ? 0 : index; }

    std::unique_ptr<TypedValue> m_initial;
    std::unique_ptr<TypedValue> m_current;
    std::unique_ptr<TypedValue> m_previous;
    uint32_t m_type;
    uint8_t m_flags = kDefaultFlags;
    std::optional<std::string> m_name;
    std::optional<std::string> m_secondText;
    std::optional<std::string> m_pendingTarget; // between reading a bound variable and binding it
    SWproperty* m_target = nullptr;             // not owned: a variable of the same list, which outlives the view
    int16_t m_index = -1;
    SWproperties2* m_owner = nullptr; // the list that owns this variable
    uint32_t m_id = 0;
    uint8_t m_active = 1;
    Slot m_slots[3] = {{*this, 0}, {*this, 1}, {*this, 2}};
};
