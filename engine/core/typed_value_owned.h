#pragma once
// Typed values that hold their own storage.

#include <string_view>

#include "engine/core/typed_value.h"

class SWmatrix;

// A value with its own storage.
class TypedValueOwned : public TypedValue {
public:
    explicit TypedValueOwned(uint32_t type); // the type's default value; the type is one of the seven
    TypedValueData Get() const override { return m_data; }
    const TypedValueData* Stored() const override { return &m_data; }
    void Set(const TypedValueData& value) override;

private:
    TypedValueData m_data;
};

class TypedValueString : public TypedValueOwned {
public:
    explicit TypedValueString(std::string_view text); // a string value holding text
};

class TypedValueMatrix : public TypedValueOwned {
public:
    explicit TypedValueMatrix(const SWmatrix& m); // a matrix value holding m
};
