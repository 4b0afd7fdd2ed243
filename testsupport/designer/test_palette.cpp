#include "testsupport/designer/test_palette.h"

#include "designer/editing/editor_engine.h"
#include "designer/editing/map_object.h"
#include "platform/base/user_constants.h"
#include "platform/ui/core/paint_dc.h"

namespace designertest {

PaletteItem PaletteItem::EventType(uint32_t type, std::string label)
{
    PaletteItem item;
    item.contentKind = EdKind::kEventType;
    item.content = reinterpret_cast<void*>(static_cast<uintptr_t>(type));
    item.label = std::move(label);
    return item;
}

TestPalette::TestPalette(pf::Window& parent, const pf::Rect& clientRect)
{
    pf::CreateParams params;
    params.text = "palette";
    params.style = pf::WS_CHILD | pf::WS_VISIBLE;
    params.rect = clientRect;
    params.parent = parent.hwnd();
    create(params);
}

pf::LResult TestPalette::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_PAINT) {
        Paint();
        return 0;
    }
    if (msg.message != pf::WM_LBUTTONDOWN)
        return Window::handle(msg);
    CEditorEngine* engine = GetEditorEngine();
    if (engine == nullptr || items.empty())
        return 0;
    engine->DragList().clear();
    for (const PaletteItem& item : items) {
        auto* object = new UIObject;
        object->SetContent(item.contentKind, item.content);
        object->followUp = item.followUp;
        object->width = object->height = 32;
        engine->AddDroppable(object);
        engine->DragList().push_back(object);
    }
    ++m_drags;
    engine->BeginDrag(clientToScreen(pf::pointFromLParam(msg.lParam)), nullptr);
    return 0;
}

void TestPalette::Paint()
{
    pf::PaintDc dc(*this);
    dc.fillRect(clientRect(), pf::createSolidBrush(pf::rgb(236, 233, 216)));
    dc.setBkMode(pf::TRANSPARENT);
    int32_t y = 6;
    for (const PaletteItem& item : items) {
        dc.fillRect(pf::Rect::fromXywh(6, y, 16, 16), pf::createSolidBrush(pf::rgb(90, 120, 200)));
        dc.textOut(28, y + 2, item.label);
        y += 22;
    }
}

} // namespace designertest
