#pragma once
// The world's cursors: what the pointer shows over objects. Ids are 32-bit and compared whole.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/list.h"

class SWcursor : public SWlistnode {
public:
    SWcursor(std::string name, uint32_t id) : name(std::move(name)), id(id) {}
    std::string name;
    uint32_t id;
    std::string imageFile;
    int32_t hotSpotX = 0;
    int32_t hotSpotY = 0;
};

class CursorList {
public:
    SWcursor* Add(std::string name, uint32_t id); // owned here
    SWcursor* GetFirst() const { return static_cast<SWcursor*>(m_cursors.Head()); }
    static SWcursor* GetNext(const SWcursor* cursor);
    SWcursor* FindById(uint32_t id) const;
    SWcursor* FindByName(std::string_view name) const;
    bool Remove(SWcursor* cursor); // deletes it; false when not in the list
    size_t Count() const { return m_cursors.Count(); }

private:
    SWlist m_cursors; // of SWcursor
};
