#pragma once
// BroadcastRecorder: a window registered with the application as a child frame that logs every designer
// notification it receives, field by field, so tests compare what the tool windows were told.
#include <optional>
#include <string>
#include <vector>

#include "designer/app/project_object.h"
#include "platform/base/hwnd.h"
#include "platform/ui/core/window.h"

namespace designertest {

struct RecordedEvent {
    uint32_t code = 0;
    uint32_t detail = 0;
    CVTND_Object subject;
    CVTND_Object related[3];
    std::optional<std::string> firstText;
    std::optional<std::string> secondText;
    pf::Hwnd sender = pf::kNoWindow;
};

class BroadcastRecorder : public pf::Window {
public:
    BroadcastRecorder();           // a hidden popup, registered with the current application
    ~BroadcastRecorder() override; // unregistered first

    const std::vector<RecordedEvent>& Events() const { return m_events; }
    void Clear() { m_events.clear(); }
    size_t Count(uint32_t code) const;                      // records of that code
    std::string Describe(const RecordedEvent& event) const; // one line for traces and failure messages

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    std::vector<RecordedEvent> m_events;
};

} // namespace designertest
