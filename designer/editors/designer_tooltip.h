#pragma once
// VTND_ToolTip: the designer's tooltip, an engine tooltip that draws its own text. It keeps a multi-line text, a
// font, a text and a background colour with an opacity each, an alignment and margins, and renders them into the
// engine tooltip's power-of-two texture through two canvases of the world's GDI canvas manager: a colour canvas with
// the visible pixels and a mask canvas that tells text (black) from background (white).
//
// The texture holds premultiplied pixels: each channel is floor(c x a / 255), a the text opacity on text pixels
// (anti-aliased edges included) and the background opacity elsewhere. The engine's fader scales them during a fade.
//
// The texture is reallocated only when its power-of-two size changes; within one size the canvases are resized and
// the sprites show the top-left width x height pixels. Resize and ComposeTexture run under the world's lock, as the
// render thread draws the tooltip layer; the canvases lock themselves around each drawing call.
//
// The project keeps a designer tooltip as its "PRTT" record (WriteRecord, ReadTooltipRecord); a tooltip an added
// scene file brings is a plain engine tooltip, kept as the world keeps it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/resources/tooltip.h"
#include "platform/gfx/text/log_font.h"

class GdiCanvas;
class GdiCanvasImage;
class GdiTextLine;
class SWchunkstream;

class VTND_ToolTip : public CVTN_ToolTip {
public:
    static constexpr size_t kMaxLineLength = 2047; // longer lines are cut here
    enum HorizontalAlign : uint8_t { kLeft = 0, kCentre = 1, kRight = 2 };
    enum VerticalAlign : uint8_t { kTop = 0, kMiddle = 1, kBottom = 2 };

    // world: its tooltip parts are made when missing; it outlives the tooltip. The tooltip is not listed anywhere.
    // A tooltip read from a file makes its texture and canvases when it is first drawn (picturesNow false): a
    // project may hold thousands, each as large as a view, of which a visitor sees a few.
    VTND_ToolTip(SWworld& world, std::string name, bool picturesNow = true);
    ~VTND_ToolTip() override;

    // The designer tooltip sizes itself from its text.
    void SetWidth(uint32_t) override {}
    void SetHeight(uint32_t) override {}
    void MakePicture() override; // the font applied and the text rendered, once, when made lazily
    bool IsPictureMade() const override { return m_picturesMade; }
    void ReleasePicture() override; // while hidden: back to the state of a tooltip read, drawn again when needed
    bool IsDrawnFromOwnRecord() const override { return true; }

    // -- Text
    const std::string& GetText() const { return m_text; }
    void SetText(std::string text) { m_text = std::move(text); }
    void ReadTextFromWindow(const std::string& windowText) { m_text = windowText; }
    const std::string& GetFaceName() const { return m_faceName; }
    void SetFaceName(std::string name) { m_faceName = std::move(name); }

    // -- Font: ApplyFont selects the fields into both text lines and reads back what was selected
    void ApplyFont();
    void ReadFontMetrics();
    void ApplyLogFont(const pf::LogFont& font); // the font chooser's answer, then ReadFontMetrics
    pf::LogFont BuildLogFont() const;           // the fields as a request for the font chooser
    int32_t charHeight = 0;
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeout = 0;
    uint8_t pitchAndFamily = 0;
    int32_t overhang = 0;

    // -- Colours, opacities (the top byte of each word), alignment and margins
    uint8_t textRGB[3] = {255, 255, 255};
    uint8_t reserved = 0;
    uint8_t backRGB[3] = {0, 0, 0};
    uint32_t textOpacity = 0xFF000000u;
    uint32_t backOpacity = 0x80000000u;
    uint8_t hAlign = kLeft;
    uint8_t vAlign = kTop;
    int32_t hMargin = 0;
    int32_t vMargin = 0;

    // -- Rendering
    void Render(); // lays the text out, resizes, draws both canvases and composes the texture
    void Resize(int32_t width, int32_t height);
    void ComposeTexture();
    uint32_t GetTextureWidth() const { return m_textureWidth; }
    uint32_t GetTextureHeight() const { return m_textureHeight; }
    uint32_t GetTextureAllocations() const { return m_allocations; } // how often the texture was made
    GdiCanvasImage* GetColourImage() const { return m_colourImage.get(); }
    GdiCanvasImage* GetMaskImage() const { return m_maskImage.get(); }
    GdiTextLine* GetColourLine() const { return m_colourLine.get(); }
    GdiTextLine* GetMaskLine() const { return m_maskLine.get(); }

    struct Line {
        std::string text;
        int32_t width = 0;
        int32_t height = 0;
    };
    std::vector<Line> LayOut() const; // the lines Render draws, measured

    // The "PRTT" payload.
    bool WriteRecord(SWchunkstream& out) const;

    // The smallest power of two strictly above size (size 0 or less: 1).
    static uint32_t TextureSizeFor(int32_t size);

    static constexpr int32_t kMaxMargin = 2047;      // a margin past a view's largest side shows nothing more
    static constexpr int32_t kMaxPosition = 1000000; // pixels from a view's corner; no view reaches further
    static int32_t PixelOf(float value);             // a stored position as a pixel: within kMaxPosition, 0 for NaN

private:
    GdiCanvas* Canvas() const;
    void MakeCanvases(int32_t width, int32_t height);
    void MakePictures(); // the texture, its sprites and the canvases, when not yet made

    SWworld& m_world;
    std::string m_text = "Tooltip";
    std::string m_faceName;
    uint32_t m_textureWidth = 8;
    uint32_t m_textureHeight = 8;
    uint32_t m_allocations = 0;
    bool m_picturesMade = false;
    bool m_fontFromFile = false; // the font fields are the file's: the default font's metrics never replace them
    // The text lines draw on the images: they go first.
    std::unique_ptr<GdiCanvasImage> m_colourImage;
    std::unique_ptr<GdiCanvasImage> m_maskImage;
    std::unique_ptr<GdiTextLine> m_colourLine;
    std::unique_ptr<GdiTextLine> m_maskLine;
    std::vector<uint32_t> m_maskRows; // the mask read back at each render, kept for the next keystroke's
};

// What reading a "PRTT" payload came to.
enum class TooltipRecordRead : uint8_t { kOk, kDamaged };

// Reads a "PRTT" payload into a new designer tooltip of world, which replaces an engine tooltip of the same name in
// the world's list (in its place), or is appended. A damaged payload changes nothing.
TooltipRecordRead ReadTooltipRecord(SWworld& world, SWchunkstream& in);
// Writes one "PRTT" record per designer tooltip of world into out (the project item's payload).
bool WriteTooltipRecords(SWworld& world, SWchunkstream& out);
// Makes a designer tooltip named name at the end of world's list, rendered once.
VTND_ToolTip* CreateDesignerTooltip(SWworld& world, const std::string& name);
