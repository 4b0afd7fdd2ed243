#pragma once
// TimedActionTable: the world's running motions, one list per timed-action type, owned here.
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "engine/core/world.h"

class SWnodemotion;

class TimedActionTable : public SWworldpart {
public:
    ~TimedActionTable() override;
    void Add(std::unique_ptr<SWnodemotion> motion);
    bool Remove(SWnodemotion* motion);                                                  // unlinks and deletes
    const std::vector<std::unique_ptr<SWnodemotion>>* GetTypeList(uint32_t type) const; // null when none
    size_t PurgeDone();                                                                 // deletes done motions
    size_t Count() const;

    static TimedActionTable& Of(SWworld& world); // the world's, made on first use

private:
    std::map<uint32_t, std::vector<std::unique_ptr<SWnodemotion>>> m_lists;
};
