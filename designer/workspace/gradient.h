#pragma once
// CVTND_Gradient: the colour of a particle over its life. Keys sit on a 256-pixel band, each with a colour; the
// 64-entry colour table the particle system receives is the key colours interpolated linearly at band positions
// i x 255 / 63. Above the band a curve of up to 32 points (values 0..1) is edited too; it is kept, drawn and
// stored, and enters no table.
//
// A press on a key selects it (kGradientKeySelected when the selection changes) and dragging it moves it along the
// band (kGradientChanged); a curve point is dragged the same way, its value following the height. Both messages
// carry the control id in wParam.
#include <array>
#include <cstdint>

#include "platform/ui/controls/control.h"

// The state the gradient store copies in and out, field for field.
struct CVTND_GradientFields {
    static constexpr uint32_t kMaxKeys = 64;
    static constexpr uint32_t kMaxCurvePoints = 32;
    static constexpr int32_t kBandWidth = 256;

    std::array<uint32_t, 64> colourTable{}; // 0x00RRGGBB
    std::array<float, 32> curveValues{};    // 0..1
    uint32_t curvePointCount = 0;
    std::array<int32_t, 64> keyPositions{}; // x in the control; the band begins at leftMargin
    std::array<uint32_t, 64> keyColours{};  // 0x00RRGGBB
    uint32_t keyCount = 0;
    int32_t selectedKey = -1;
    int32_t selectedCurvePoint = -1;
    std::array<int32_t, 32> curvePointPositions{};
    uint8_t mouseCapture = 0;
    int32_t leftMargin = 0;

    static CVTND_GradientFields Defaults(); // five keys evenly on a band at 0, four curve points at 0.5 between them
    bool IsValid() const; // counts within the arrays, selections -1 or below the count, positions on the band

private:
    static CVTND_GradientFields MakeDefaults();
};

class CVTND_Gradient : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_Gradient";

    CVTND_Gradient();

    // -- The copied state
    const CVTND_GradientFields& GetFields() const { return m_fields; }
    // Copies fields that pass IsValid and repaints; otherwise the control goes back to its defaults. Either way the
    // answer says which happened.
    bool SetFields(const CVTND_GradientFields& fields);
    const std::array<uint32_t, 64>& GetGradientData() const { return m_fields.colourTable; }

    // -- Layout: centres the band in the control and moves keys and curve points with it
    void LayoutKeys();

    // -- The selected key
    bool HasSelectedKey() const;
    std::array<float, 3> GetKeyColor() const;             // 0..1; zeros without a selected key
    std::array<uint8_t, 3> GetKeyRGB() const;             // bytes; zeros without a selected key
    void SetKeyColor(float red, float green, float blue); // channels clamped to 0..1; nothing without a selection
    void SetKeyRed(int32_t value);                        // a byte, clamped to 0..255; repaints
    void SetKeyGreen(int32_t value);
    void SetKeyBlue(int32_t value);

    // -- Geometry, client coordinates
    pf::Rect BandRect() const;
    pf::Rect CurveRect() const;
    int32_t KeyAt(pf::Point client) const;        // the nearest key within reach of the point, or -1
    int32_t CurvePointAt(pf::Point client) const; // the nearest curve point within reach, or -1

    static std::array<uint32_t, 64> ComputeTable(const CVTND_GradientFields& fields);

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    enum class Drag { kNone, kKey, kCurvePoint };

    void Paint();
    void SetKeyChannel(int shift, int32_t value);
    void OnPress(pf::Point at);
    void OnDrag(pf::Point at);
    int32_t CurveY(float value) const;
    void Changed(); // the table again, a repaint and kGradientChanged

    CVTND_GradientFields m_fields;
    Drag m_drag = Drag::kNone;
};
