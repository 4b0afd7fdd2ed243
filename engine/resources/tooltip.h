#pragma once
// CVTN_ToolTip: a texture shown over the scene on the world's tooltip layer when the pointer rests on one of its
// scene nodes. The world keeps its tooltips in SWtooltips (a world part) and owns the layer and the GDI canvas
// manager they draw with (EnsureTooltipParts).
//
// Showing and hiding: with a fade-in time above 0 the tooltip has a fader (the image "fader" and its sprite). Show
// and Hide without the immediate flag then fade over the fade-in or fade-out time: each step writes the fader as
// the texture's premultiplied pixels scaled by the fade fraction; at the end of a fade-in the main sprite shows and
// the fader hides, at the end of a fade-out both hide. Times are milliseconds of world time; StepTooltips advances
// the fades once per frame.
//
// Entries name the scene nodes the tooltip belongs to by id and keep the node's name, so an entry whose node was
// deleted still has its name (the project file restores entries by name).
//
// Record "TTIP" (a sub-record of "5PTS"): per tooltip a "TTIE" record: string name, f64 delay, fade-in, fade-out,
// u8 show at cursor, f32 x, y, u32 width, height, u32 n, n node ids (0xFFFFFFFF when only the name is left),
// n strings (the entries' names), then the tooltip texture as a nested image record.
//
// Merging a file into a world (with the tooltips' merge bit) copies each tooltip through Write and Read into the
// target, under a name unique there ("%s_%d"); taking the merge out again deletes the copy.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/list.h"
#include "engine/core/read_context.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"

class GdiCanvas;
class GdiCanvasImage;
class SWchunkstream;
class SWimage32;
class SWlayersprite;
class SWnode;
class SWrenderlayer;

class CVTN_ToolTipEntry : public SWlistnode {
public:
    static constexpr uint32_t kNoNode = 0xFFFFFFFFu;
    CVTN_ToolTipEntry(uint32_t nodeId, std::string name) : nodeId(nodeId), name(std::move(name)) {}
    uint32_t nodeId; // kNoNode when only the name is left
    std::string name;
};

class CVTN_ToolTip : public SWlistnode {
public:
    explicit CVTN_ToolTip(SWworld* world, std::string name = {}); // world: for its time, layer and nodes
    ~CVTN_ToolTip() override;                                     // its sprites leave the layer

    const std::string& GetName() const { return m_name; }
    void SetTooltipName(std::string name) { m_name = std::move(name); }
    double delay = 0.0;
    double fadeIn = 0.0;
    double fadeOut = 0.0;
    uint8_t showAtCursor = 0;
    void GetPosition(float& x, float& y) const;
    void SetPosition(float x, float y);
    void SetShownPosition(int32_t x, int32_t y); // also moves the current sprite
    virtual void SetWidth(uint32_t width) { m_width = width; }
    virtual void SetHeight(uint32_t height) { m_height = height; }
    uint32_t GetWidth() const { return m_width; }
    uint32_t GetHeight() const { return m_height; }

    // -- Entries
    CVTN_ToolTipEntry* FindEntry(const SWnode* node) const;
    CVTN_ToolTipEntry* GetOrAddEntry(const SWnode* node); // null for null
    void DeleteEntry(CVTN_ToolTipEntry* entry);
    void AddStoredEntry(uint32_t nodeId, std::string name); // as read from a file
    CVTN_ToolTipEntry* GetFirstEntry() const { return static_cast<CVTN_ToolTipEntry*>(m_entries.Head()); }
    static CVTN_ToolTipEntry* GetNextEntry(const CVTN_ToolTipEntry* entry);
    SWnode* GetEntryNode(const CVTN_ToolTipEntry& entry) const; // null once the node is gone

    // -- Texture and sprites
    // A new "TTtexture" of the size (powers of two for the texture stages), its main sprite on the world's tooltip
    // layer and, with a fade-in time above 0, the fader. False when an image cannot be made or there is no layer.
    bool SetTextureSize(uint32_t width, uint32_t height);
    // Copies the canvas image into the texture with alpha 255 (the platform's drawing leaves it 0) and touches it.
    bool WriteTexture(const GdiCanvas& canvas, GdiCanvasImage* image);
    SWimage32* GetTexture() const { return m_texture.get(); }
    SWimage32* GetFader() const { return m_fader.get(); }
    SWlayersprite* GetMainSprite() const { return m_mainSprite; }
    SWlayersprite* GetFaderSprite() const { return m_faderSprite; }
    SWlayersprite* GetCurrentSprite() const { return m_currentSprite; }

    // -- Showing
    // Makes the texture of a tooltip that draws it only when needed (a designer tooltip read from its project): Show
    // and the world's writer call it first. A tooltip whose texture was read with it has nothing to make.
    virtual void MakePicture() {}
    // Whether such a tooltip has its texture now; one whose texture was read with it always has.
    virtual bool IsPictureMade() const { return true; }
    // Lets go of the texture, sprites and drawing surfaces of such a tooltip while it is hidden, to be made again
    // when next needed: the writer draws each tooltip that has none only to write it, and keeping them all took a
    // view's size many times over. Nothing for a tooltip whose texture was read with it.
    virtual void ReleasePicture() {}
    bool IsShown() const { return m_shown; }
    void Show(bool immediate);
    void Hide(bool immediate);
    void Step(float nowMs); // advances a running fade
    bool IsFading() const { return m_fade != Fade::kNone; }

    // A tooltip drawn from a record of its own (the designer's), which a project keeps in place of its pixels.
    virtual bool IsDrawnFromOwnRecord() const { return false; }

    // The "TTIE" payload and its reader (false: damaged; this tooltip is then unchanged). Without pixels, the size
    // is written as 0 and the texture left out. A size read never exceeds the texture read with it.
    bool Write(SWchunkstream& out, bool withPixels = true) const;
    bool Read(SWchunkstream& in);

protected:
    void ReleaseTexture(); // the texture, the fader and their sprites go

private:
    enum class Fade { kNone, kIn, kOut };
    void DestroySprites();
    void WriteFader(float fraction);
    SWrenderlayer* Layer() const;
    float Now() const;

    SWworld* m_world; // not owned; may be null
    std::string m_name;
    float m_x = 0.0f;
    float m_y = 0.0f;
    int32_t m_shownX = 0;
    int32_t m_shownY = 0;
    uint32_t m_width = 0;
    uint32_t m_height = 0;
    SWlist m_entries; // of CVTN_ToolTipEntry
    std::unique_ptr<SWimage32> m_texture;
    std::unique_ptr<SWimage32> m_fader;
    // The sprites live in the layer's list; their back links clear these when the layer goes first.
    SWlayersprite* m_mainSprite = nullptr;
    SWlayersprite* m_faderSprite = nullptr;
    SWlayersprite* m_currentSprite = nullptr;
    bool m_shown = false;
    Fade m_fade = Fade::kNone;
    float m_fadeStart = 0.0f;
};

// The world's tooltips (world part kTooltips).
class SWtooltips : public SWworldpart {
public:
    SWlist& GetList() { return m_list; } // of CVTN_ToolTip, owned
    static SWtooltips* Find(const SWworld& world);

private:
    SWlist m_list;
};

// The "TTIP" payload: one "TTIE" per tooltip of the world. The reader appends what it reads to the world's list
// (made when missing), or nothing when a record is damaged. A project writes a tooltip drawn from its own record
// without its pixels: drawn only to be saved, each could take a view's size in memory and in the file, and its
// record draws it again when it is first shown. Another file draws each such tooltip not yet drawn, writes it and
// lets its picture go again, so that no more than one is held at a time; and once the pixels of such tooltips pass
// kMostDrawnTooltipBytes the writer fails with outOverLimit set, as no reader would take what it made.
inline constexpr uint64_t kMostDrawnTooltipBytes = SWreadlimits::kDefaultMaxBytes / 2; // the rest for the world
bool WriteTooltipList(SWworld& world, SWchunkstream& payload, WorldFileMode mode = WorldFileMode::kScene,
                      bool* outOverLimit = nullptr);
bool ReadTooltipList(SWworld& world, SWchunkstream& payload);

// Makes the world's tooltip list, tooltip layer and GDI canvas manager when missing.
void EnsureTooltipParts(SWworld& world);
// Advances every tooltip's fade to the world's current time; the frame step calls it once per frame.
void StepTooltips(SWworld& world);
