#include "engine/core/data_node.h"

#include <cstring>

SWdatanode::SWdatanode(const SWdatanode& other)
    : SWlistnode(other), m_type(other.m_type), m_object(other.m_object), m_text(other.m_text),
      m_ownText(other.m_ownText), m_ownsText(other.m_ownsText), m_byte(other.m_byte), m_int(other.m_int)
{
    PointAtOwnText();
}

SWdatanode& SWdatanode::operator=(const SWdatanode& other)
{
    if (this != &other) {
        m_type = other.m_type;
        m_object = other.m_object;
        m_text = other.m_text;
        m_ownText = other.m_ownText;
        m_ownsText = other.m_ownsText;
        m_byte = other.m_byte;
        m_int = other.m_int;
        PointAtOwnText();
    }
    return *this;
}

void SWdatanode::PointAtOwnText()
{
    if (m_ownsText)
        m_text = m_ownText.c_str(); // never the other node's copy, which may go first
}

bool SWdatanode::SetData(const void* datum, int type, bool copy)
{
    switch (type) {
    case kObject:
        SetObject(const_cast<void*>(datum));
        return true;
    case kString:
        SetText(static_cast<const char*>(datum), copy);
        return true;
    case kByte:
        SetByte(datum != nullptr ? *static_cast<const uint8_t*>(datum) : 0);
        return true;
    case kInt: {
        int32_t value = 0;
        if (datum != nullptr)
            std::memcpy(&value, datum, sizeof value);
        SetInt(value);
        return true;
    }
    default:
        return false;
    }
}

void SWdatanode::SetObject(void* object)
{
    *this = SWdatanode();
    m_object = object;
}

void SWdatanode::SetText(const char* text, bool copy)
{
    std::string copied = text != nullptr && copy ? std::string(text) : std::string(); // text may be our own copy
    *this = SWdatanode();
    m_type = kString;
    if (text == nullptr || !copy) {
        m_text = text;
        return;
    }
    m_ownText = std::move(copied);
    m_ownsText = true;
    PointAtOwnText();
}

void SWdatanode::SetByte(uint8_t value)
{
    *this = SWdatanode();
    m_type = kByte;
    m_byte = value;
}

void SWdatanode::SetInt(int32_t value)
{
    *this = SWdatanode();
    m_type = kInt;
    m_int = value;
}

void* SWdatanode::GetData(int type)
{
    return const_cast<void*>(static_cast<const SWdatanode*>(this)->GetData(type));
}

const void* SWdatanode::GetData(int type) const
{
    if (type != m_type)
        return nullptr;
    switch (m_type) {
    case kObject:
        return m_object;
    case kString:
        return m_text;
    case kByte:
        return &m_byte;
    case kInt:
        return &m_int;
    default:
        return nullptr;
    }
}

const char* SWdatanode::GetText() const
{
    return m_type == kString ? m_text : nullptr;
}
