#pragma once
// Morph targets of a mesh: each a name and a run of 5-float records (vertex index, x, y, z, and a fifth value the
// speech motion carries through as it is).
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class FloatRecordArray {
public:
    static constexpr uint32_t kFloatsPerRecord = 5;

    uint32_t Count() const { return static_cast<uint32_t>(m_values.size() / kFloatsPerRecord); }
    const float* GetAt(uint32_t index) const; // the record's five floats; null past the end
    void Append(std::span<const float, kFloatsPerRecord> record);
    void Clear() { m_values.clear(); }

private:
    std::vector<float> m_values;
};

struct SWmorphtarget {
    std::string name;
    FloatRecordArray records;
};

class MorphTargetList {
public:
    SWmorphtarget* Add(std::unique_ptr<SWmorphtarget> target); // owned from now on; answers it (null for null)
    SWmorphtarget* FindByName(std::string_view name) const;    // byte for byte; the first of that name, or null
    size_t Count() const { return m_targets.size(); }
    SWmorphtarget* GetAt(size_t index) const { return index < m_targets.size() ? m_targets[index].get() : nullptr; }

private:
    std::vector<std::unique_ptr<SWmorphtarget>> m_targets;
};
