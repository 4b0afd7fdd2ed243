#pragma once
// Windows that stand in for the tool windows of later parts in the application's tests: each records the
// notifications it gets in one shared log, and may react to them as editors, panels and frames do.
#include <functional>
#include <string>
#include <vector>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/window.h"

namespace designertest {

struct Received {
    std::string who;
    uint32_t code = 0;
    CVTND_Object subject;
};

class RecordingWindow : public pf::Window {
public:
    RecordingWindow(std::string name, std::vector<Received>& log) : m_name(std::move(name)), m_log(log)
    {
        pf::CreateParams params;
        params.text = m_name;
        params.style = pf::WS_POPUP;
        params.rect = pf::Rect::fromXywh(100, 100, 200, 150);
        create(params);
    }

    std::function<void(const CVTND_Event&)> onNotify; // runs after the record is logged
    const std::string& name() const { return m_name; }

protected:
    pf::LResult handle(const pf::Msg& msg) override
    {
        if (msg.message != kMsgDesignerNotify)
            return Window::handle(msg);
        const auto* event = reinterpret_cast<const CVTND_Event*>(msg.lParam);
        m_log.push_back({m_name, event->code, event->subject});
        if (onNotify)
            onNotify(*event);
        return 1;
    }

private:
    std::string m_name;
    std::vector<Received>& m_log; // the test's; outlives the window
};

// An editor in the pattern of the modeless editors: it closes itself, unregistering its record first, when its
// object is announced deleted, and deletes itself after its window is gone.
class TestEditor : public RecordingWindow {
public:
    TestEditor(std::string name, std::vector<Received>& log, uint16_t kind, void* object)
        : RecordingWindow(std::move(name), log), m_kind(kind), m_object(object)
    {
        onNotify = [this](const CVTND_Event& event) {
            if (event.Is(EventCode::kDeleted) && event.subject.GetType() == m_kind &&
                event.subject.GetObject() == m_object)
                Close();
        };
    }
    // Editors read their object while they close (a sound editor stops its sound): it must still live then.
    std::function<void()> touchWhileClosing;
    void Close()
    {
        if (touchWhileClosing)
            touchWhileClosing();
        GetDesignerApp()->UnregisterEditDialog(this);
        destroy();
    }

protected:
    void postNcDestroy() override { delete this; }

private:
    uint16_t m_kind;
    void* m_object; // the world's
};

} // namespace designertest
