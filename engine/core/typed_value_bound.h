#pragma once
// A typed value bound to a target (see typed_value.h).

#include <cstdint>

#include "engine/core/typed_value.h"

// A value that owns nothing: every get and set goes to its target, at its element index (0 until set).
class TypedValueBound : public TypedValue {
public:
    TypedValueBound(uint32_t type, TypedValueTarget& target, int flag); // target outlives this value
    TypedValueData Get() const override;
    void Set(const TypedValueData& value) override;
    void SetTargetIndex(int16_t index) override;

    int16_t GetTargetIndex() const { return m_index; }
    int GetBindFlag() const { return m_flag; } // as given at creation; variables bind with 1
    const TypedValueTarget& GetTarget() const { return m_target; }

private:
    TypedValueTarget& m_target; // not owned: the owner of both keeps the target alive while this value exists
    int16_t m_index = 0;
    const int m_flag;
};
