#pragma once
// SWsoundlist: the sounds of a world, in order; it owns them. Play and Stop are what actions and motions call;
// the world's sound step calls PollAll once per frame. A sound that ends, by itself or by Stop, is handed to the
// finished hook, which the world connects to its input queue (a "sound finished" record). The hook must not
// add or remove sounds.
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class SWsound;

class SWsoundlist {
public:
    using FinishedHook = std::function<void(SWsound& sound)>;

    SWsoundlist();
    ~SWsoundlist(); // deletes every sound
    SWsoundlist(const SWsoundlist&) = delete;
    SWsoundlist& operator=(const SWsoundlist&) = delete;

    SWsound* Add(std::unique_ptr<SWsound> sound);    // the list owns it from now on; answers it (null for null)
    std::unique_ptr<SWsound> Remove(SWsound* sound); // the caller owns it again; null when not in the list
    size_t Count() const { return m_sounds.size(); }
    SWsound* GetFirst() const;
    SWsound* GetNext(const SWsound* sound) const;     // null after the last or for a sound not in the list
    SWsound* FindByName(std::string_view name) const; // byte for byte; the first of that name, or null

    void SetFinishedHook(FinishedHook hook) { m_finished = std::move(hook); }
    void Play(SWsound* sound); // starts its range at once; null ignored
    void Stop(SWsound* sound); // stops it and, when it was playing, hands it to the finished hook
    void PollAll();            // Poll for every sound; the finished ones go to the hook, in list order

private:
    std::vector<std::unique_ptr<SWsound>> m_sounds;
    FinishedHook m_finished;
};
