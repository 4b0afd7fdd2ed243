#pragma once
// TypedValue: a value of one of the seven types (typed_value_data.h), either holding its own storage or bound to a
// target through which every get and set goes. Each set converts its argument to the value's type and each get
// converts the value to the type asked for, by the table in typed_value_data.h.
//
// A bound value reads its target as its own type at its element index, and writes by reading, changing and
// writing back: a float bound to element 1 of a vector reads and writes y alone; a vector bound to a matrix reads
// the translation and, set, moves the matrix without turning it. Nothing is cached, so a bound value always
// shows its target's current state.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/core/typed_value_data.h"

class CVTN_Quaternion;
class SWmatrix;
class SWvector;

// What a bound value reads and writes through. Typed values are targets; an engine object may expose one of its
// fields as a target too, reading and writing it as the value types it can stand for.
class TypedValueTarget {
public:
    virtual ~TypedValueTarget() = default;
    virtual TypedValueData ReadTarget(uint32_t type, int16_t index) const = 0; // the target seen as type at index
    virtual void WriteTarget(const TypedValueData& value, int16_t index) = 0;  // value (any type) into index
};

class TypedValue : public TypedValueTarget {
public:
    ~TypedValue() override = default;
    TypedValue(const TypedValue&) = delete;
    TypedValue& operator=(const TypedValue&) = delete;

    uint32_t GetType() const { return m_type; } // the bit code, fixed at creation

    void SetFromMatrix(const SWmatrix& m);
    void SetFromQuaternion(const CVTN_Quaternion& q);
    void SetFromVector(float x, float y, float z);
    void SetFromFloat(float value);
    void SetFromString(std::string_view text);
    void SetFromBool(bool value);
    void SetFromInt(int32_t value);
    void SetFromValue(const TypedValue& other); // other's value, converted; other may be this
    void GetAsMatrix(SWmatrix& out) const;
    void GetAsQuaternion(CVTN_Quaternion& out) const;
    void GetAsVector(SWvector& out) const;
    void GetAsFloat(float& out) const;
    void GetAsString(std::string& out) const;
    void GetAsBool(bool& out) const;
    void GetAsInt(int32_t& out) const;

    virtual void SetTargetIndex(int16_t index); // the element index of a bound value; own storage ignores it

    virtual TypedValueData Get() const = 0;                          // the whole value, of this value's type
    virtual const TypedValueData* Stored() const { return nullptr; } // own storage: the value itself, not a copy
    virtual void Set(const TypedValueData& value) = 0; // value of any type, converted into this one by the table

    TypedValueData ReadTarget(uint32_t type, int16_t index) const override;
    void WriteTarget(const TypedValueData& value, int16_t index) override;

protected:
    explicit TypedValue(uint32_t type) : m_type(type) {}

private:
    const uint32_t m_type;
};

// A new value of the type's default (TypedValueOwned); caller owns; null for a code outside the seven.
std::unique_ptr<TypedValue> CreateTypedValue(uint32_t type);
// A new value bound to target (TypedValueBound), element index 0; caller owns; null for a code outside the seven.
std::unique_ptr<TypedValue> CreateBoundTypedValue(uint32_t type, TypedValueTarget& target, int flag);
