#pragma once
// CVTND_FontButton: a push button that shows a sample of a font: the face name, drawn in that font at its height,
// capped to what fits in the button.
#include "platform/gfx/gdi_objects.h"
#include "platform/gfx/text/log_font.h"
#include "platform/ui/controls/button.h"

class CVTND_FontButton : public pf::Button {
public:
    static constexpr const char* kClassName = "CVTND_FontButton";

    void SetLogFont(const pf::LogFont& font); // repaints
    const pf::LogFont& GetLogFont() const { return m_logFont; }
    pf::LogFont ShownLogFont() const; // the request the sample is drawn with: the height capped to the button

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();

    pf::LogFont m_logFont;
    bool m_hasFont = false;
};
