#pragma once
// GdiCanvas: text and flat shapes drawn into 32-bit images through the platform's drawing layer, for tooltips and
// other textures made of text. The canvas is the world's manager of such images (a world part); an image is a
// top-down 32-bit DIB section selected into its own memory device context, and a text line is a drawing state
// (colour, font, alignment, clip) on one image.
//
// Threads: each image has its own mutex and every text-line operation runs under it, so two threads may draw on two
// images at once, or take turns on one. Lock order: the world's lock before an image's mutex, never the reverse
// (CopyImageTo takes both, in that order).
//
// Colours: the platform writes pixels with byte 3 cleared. CopyImageTo and ReadRows copy pixels as they are;
// whoever shows a copied image as a texture sets its alpha.
//
// Every operation given a null image or text line does nothing and answers 0 or false.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "engine/core/world.h"
#include "platform/gfx/memory_dc.h"
#include "platform/gfx/text/log_font.h"

class GdiCanvasImage {
public:
    GdiCanvasImage(pf::DibSectionRef dib); // the DIB is selected into the image's own device context
    int32_t GetWidth() const { return m_dib->width(); }
    int32_t GetHeight() const { return m_dib->height(); }

private:
    friend class GdiCanvas;
    friend class GdiTextLine;
    mutable std::mutex m_mutex; // guards the DIB's pixels and the device context
    pf::DibSectionRef m_dib;    // never null
    pf::MemoryDc m_dc;
};

class GdiTextLine {
public:
    explicit GdiTextLine(GdiCanvasImage& image); // 1-pixel black pen, clip to the image, alignment 33, colour 0

private:
    friend class GdiCanvas;
    void Apply(); // this line's state into the image's device context; under the image's mutex

    GdiCanvasImage& m_image; // outlives the line
    uint8_t m_red = 0, m_green = 0, m_blue = 0;
    uint32_t m_align = 33;
    pf::Rect m_clip;
    std::string m_face;
    uint32_t m_flags = 0;
    int32_t m_height = 0;
    pf::LogFont m_logFont;
    bool m_hasFont = false;
    pf::FontRef m_font;
};

class GdiCanvas : public SWworldpart {
public:
    static constexpr uint32_t kBold = 2;
    static constexpr uint32_t kItalic = 4;
    static constexpr uint32_t kUnderline = 8;
    static constexpr uint32_t kAlignBaseline = 1;
    static constexpr uint32_t kAlignBottom = 2;
    static constexpr uint32_t kAlignCentre = 16;
    static constexpr uint32_t kAlignLeft = 32;
    static constexpr uint32_t kAlignRight = 64;

    explicit GdiCanvas(SWworld* world = nullptr); // the world whose lock CopyImageTo takes; null: none

    // -- Images
    // A zeroed width x height image; null for sizes of 0 or less and those the platform refuses (above 2^26).
    static std::unique_ptr<GdiCanvasImage> CreateImage(int32_t width, int32_t height);
    // True when the size is unchanged or the new DIB replaced the old (contents copied when keep); false when the
    // new DIB cannot be made, the old one staying.
    static bool ResizeImage(GdiCanvasImage* image, int32_t width, int32_t height, bool keep);
    // Copies the image top-down into pixels (width words a row), at most height rows and width columns, under the
    // world's lock and then the image's mutex; answers the rows copied.
    int32_t CopyImageTo(GdiCanvasImage* image, uint32_t* pixels, int32_t width, int32_t height) const;
    // Rows first .. first + count - 1 at the image's width into buffer, clamped to the image; answers the rows read.
    static int32_t ReadRows(GdiCanvasImage* image, int32_t first, int32_t count, uint32_t* buffer);

    // -- Text lines (each under the image's mutex)
    static std::unique_ptr<GdiTextLine> CreateTextLine(GdiCanvasImage* image);
    static void SetColor(GdiTextLine* line, uint8_t red, uint8_t green, uint8_t blue); // pen, fill and text
    static bool FillRect(GdiTextLine* line, int32_t left, int32_t top, int32_t right, int32_t bottom);
    static bool TextOut(GdiTextLine* line, int32_t x, int32_t y, std::string_view text);
    static void SetClipRect(GdiTextLine* line, int32_t x, int32_t y, int32_t width, int32_t height);
    // flags: 2 bold, 4 italic, 8 underline; height the character height. Nothing when all three are unchanged.
    static void SetFont(GdiTextLine* line, std::string_view face, uint32_t flags, int32_t height);
    static void SetLogFont(GdiTextLine* line, const pf::LogFont& font);
    static uint32_t GetFontFlags(const GdiTextLine* line); // 1 + 4 italic + 2 bold + 8 underline; 0 for null
    // flags: 1 baseline, 2 bottom, otherwise top; 16 centre, 32 left, 64 right (33 baseline left, 36 top left).
    static void SetTextAlign(GdiTextLine* line, uint32_t flags);
    static pf::Size GetTextExtent(GdiTextLine* line, std::string_view text);
    static pf::TextMetrics GetTextMetrics(GdiTextLine* line);
    static std::string GetTextFace(GdiTextLine* line); // the face asked for

    // The platform's alignment bits of the canvas flags.
    static uint32_t PlatformAlign(uint32_t flags);

private:
    SWworld* m_world; // not owned
};
