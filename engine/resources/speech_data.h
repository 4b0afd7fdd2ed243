#pragma once
// SWspeechdata (tag "QJSH"): a lip-sync script, a child of the world's root object. Three strings (its name, the
// name of the mesh node it drives, a third carried as it is), a frame rate (30; the motion keeps its own) and
// channels, each a code and one weight per frame.
//
// Record "QJSH": string 1, 2, 3, u32 frame rate, u32 channel count, per channel u32 value count, u32 code and the
// values as f32. Records after them are skipped. Every count is checked against what the record still holds before
// anything is allocated for it.
//
// Merging a file into a world moves its scripts to the target's root object under names unique there ("%s_%d").
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/container.h"

class SWspeechchannel {
public:
    SWspeechchannel(uint32_t code, std::vector<float> values) : m_code(code), m_values(std::move(values)) {}
    uint32_t GetCode() const { return m_code; }
    uint32_t GetValueCount() const { return static_cast<uint32_t>(m_values.size()); }
    float GetValue(uint32_t frame) const { return frame < m_values.size() ? m_values[frame] : 0.0f; }
    const std::vector<float>& GetValues() const { return m_values; }

private:
    uint32_t m_code;
    std::vector<float> m_values;
};

class SWspeechdata : public CVTN_Container {
public:
    static constexpr uint32_t kDefaultFrameRate = 30;

    SWspeechdata();
    explicit SWspeechdata(std::string name);

    const std::string& GetName() const { return m_strings[0]; }
    const std::string& GetString(int index) const { return m_strings[index < 0 || index > 2 ? 0 : index]; }
    void SetString(int index, std::string text); // 0..2; others ignored
    uint32_t GetFrameRate() const { return m_frameRate; }
    void SetFrameRate(uint32_t rate) { m_frameRate = rate; }

    uint32_t GetChannelCount() const { return static_cast<uint32_t>(m_channels.size()); }
    const SWspeechchannel* GetChannel(uint32_t index) const; // null for index >= count
    void AddChannel(uint32_t code, std::vector<float> values);

    bool Write(SWchunkstream& out) override; // the record's payload
    bool Read(SWchunkstream& in) override;   // false: damaged, the object unchanged

    bool operator==(const SWspeechdata& other) const; // strings, rate and channels, values bit for bit

private:
    std::string m_strings[3];
    uint32_t m_frameRate = kDefaultFrameRate;
    std::vector<SWspeechchannel> m_channels;
};

class SWworld;

// What holds speech data above the resources, by name or by address (the speech motions of actions and the running
// ones). The behaviour runtime installs it at start-up. A merge that renames a script to keep names unique makes
// the import's holders follow; taking a merge out again first stops every holder of the script and makes it let
// go, so none is left pointing at a deleted one.
struct SWspeechholders {
    void (*rename)(SWworld& world, const std::string& oldName, const std::string& newName) = nullptr;
    void (*release)(SWworld& world, const SWspeechdata& data) = nullptr; // a holder keeps the name it had
};
const SWspeechholders* GetSpeechHolders();             // null until installed
void SetSpeechHolders(const SWspeechholders* holders); // not owned: a static of the installer

// The first speech data in a depth-first search of container and its children (container itself first); null.
SWspeechdata* FindSpeechData(CVTN_Container* container);
// The speech data named name among container's children, following their sibling links; null when none.
SWspeechdata* FindSpeechDataByName(CVTN_Container* container, const std::string& name);
