#include "testsupport/designer/broadcast_recorder.h"

#include <algorithm>
#include <cstdio>

#include "designer/app/designer_app.h"
#include "designer/app/notification.h"
#include "platform/base/user_constants.h"

namespace designertest {

BroadcastRecorder::BroadcastRecorder()
{
    pf::CreateParams params;
    params.text = "broadcast recorder";
    params.style = pf::WS_POPUP;
    params.rect = pf::Rect::fromXywh(0, 0, 10, 10);
    create(params);
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->RegisterChildFrame(this);
}

BroadcastRecorder::~BroadcastRecorder()
{
    if (CVTNDesignerApp* app = GetDesignerApp())
        app->UnregisterChildFrame(this);
}

size_t BroadcastRecorder::Count(uint32_t code) const
{
    return static_cast<size_t>(
        std::count_if(m_events.begin(), m_events.end(), [code](const RecordedEvent& e) { return e.code == code; }));
}

std::string BroadcastRecorder::Describe(const RecordedEvent& event) const
{
    char line[160];
    std::snprintf(line, sizeof line, "broadcast code %u detail %u subject type %u related types %u %u %u", event.code,
                  event.detail, event.subject.GetType(), event.related[0].GetType(), event.related[1].GetType(),
                  event.related[2].GetType());
    return line;
}

pf::LResult BroadcastRecorder::handle(const pf::Msg& msg)
{
    if (msg.message != kMsgDesignerNotify)
        return Window::handle(msg);
    const auto* event = reinterpret_cast<const CVTND_Event*>(msg.lParam);
    if (event == nullptr)
        return 0;
    RecordedEvent logged;
    logged.code = event->code;
    logged.detail = event->detail;
    logged.subject = event->subject;
    for (int i = 0; i < 3; ++i)
        logged.related[i] = event->related[i];
    logged.firstText = event->firstText;
    logged.secondText = event->secondText;
    logged.sender = event->sender;
    m_events.push_back(std::move(logged));
    return 1;
}

} // namespace designertest
