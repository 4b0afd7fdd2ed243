#pragma once
// CVTND_MovableTargetPicker: a drop box for a scene node. EnableDrop registers it once with the editor engine as a
// drop target for nodes; the engine's receptor sends it kNodeDropped (wParam 0, lParam the node) and the picker
// forwards that message unchanged to its parent. Its destruction gives the registration back, so a dialog opened
// and closed many times leaves no receptor behind. The item it shows is an icon, centred on white.
#include <cstdint>

#include "platform/gfx/icon.h"
#include "platform/ui/controls/control.h"

class CVTND_EngineInterface;

class CVTND_MovableTargetPicker : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_MovableTargetPicker";
    static constexpr uint32_t kNodeContent = 32; // the content kind the receptor takes: scene nodes

    void EnableDrop(); // once; nothing without an editor engine
    bool IsDropEnabled() const { return m_receptor != 0; }
    void SetShownItem(pf::IconRef icon); // null shows nothing; repaints at once
    void SetTarget(pf::IconRef icon) { SetShownItem(std::move(icon)); }
    const pf::IconRef& GetShownItem() const { return m_icon; }

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
    void DisableDrop();

    pf::IconRef m_icon;
    uint32_t m_receptor = 0;                   // the registration's handle; 0 when none
    CVTND_EngineInterface* m_engine = nullptr; // the engine registered with, to give it back to that one only
};
