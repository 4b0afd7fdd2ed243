#pragma once
// CVTND_TextureViewer: an engine image, fitted to the control (aspect kept, centred) or shown 1:1 from the top
// left, with the world's hot spots that lie on it. The viewer paints from its own copy of the pixels, taken by
// SetImage and UpdateBitmap, and finds hot spots by texture name; so a paint never reads an image that may have
// been deleted since, and the image pointer is kept only to be given back (GetMemberAt40).
//
// Hot-spot rectangles are X, Y, W, H as fractions of their texture's width and height. With an alter-ego owner set,
// the viewer draws that texture's hot spots at their alter-ego rectangles instead (it then shows the alter-ego
// texture). A hot spot whose skip byte is set is left out of the next paint, which clears the byte.
#include <map>
#include <optional>
#include <string>

#include "platform/gfx/dib.h"
#include "platform/ui/controls/control.h"

class SWhotspot;
class SWtexture;
class SWworld;

class CVTND_TextureViewer : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_TextureViewer";

    // image: the texture to show, or null to show nothing; hotspotTexture: the texture whose hot spots are drawn,
    // null meaning the image itself. Copies the pixels and repaints.
    void SetImage(SWtexture* image, SWtexture* hotspotTexture = nullptr);
    void UpdateBitmap(); // copies the shown image's pixels again (it must still exist) and repaints
    SWtexture* GetMemberAt40() const { return m_image; }
    void SetFitToWindow(bool fit); // repaints
    bool IsFitToWindow() const { return m_fit; }
    void SetAlterEgoOwner(SWtexture* texture); // null: the shown texture's own hot spots at their rectangles
    void ShowHotspots(bool show);              // repaints only on a change
    bool IsShowingHotspots() const { return m_showHotspots; }
    void BuildHotspotBitmap(SWhotspot* hotspot);       // its picture copied again (none when it has no picture)
    void SetWorld(SWworld* world) { m_world = world; } // whose hot spots; null: the designer's world

    pf::Rect AreaRect() const;                                           // inside the sunken edge, client coordinates
    pf::Rect ImageRect() const;                                          // where the image is drawn; empty without one
    pf::Rect HotspotRect(const SWhotspot& hotspot, bool alterEgo) const; // client coordinates

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void CopyPixels();
    void StoreHotspotBitmap(const SWhotspot& hotspot);
    void Paint();
    void PaintHotspots(pf::Dc& dc);
    SWworld* World() const;

    SWtexture* m_image = nullptr; // compared and given back, never read after SetImage and UpdateBitmap
    std::optional<std::string> m_hotspotTextureName;
    std::optional<std::string> m_alterEgoOwnerName;
    pf::DibSectionRef m_bitmap;
    std::map<const SWhotspot*, pf::DibSectionRef> m_hotspotBitmaps; // keys only compared with live hot spots
    SWworld* m_world = nullptr;                                     // outlives the viewer; null: the designer's
    bool m_fit = true;
    bool m_showHotspots = false;
};
