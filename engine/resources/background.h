#pragma once
// SWbackground (tag "BGDI"): what is drawn behind the scene, a colour and optionally an image (an owned child)
// that tiles at its own size or is stretched over the buffer.
//
// The version counter starts at 1 and rises with every change, including a change made through the texture
// (it listens to its texture's kNotifyChanged); renderers keep the version they built for and ask CheckVersion.
// Each background also gets a process-wide serial number, so a holder can recognise the one it built without
// keeping a pointer to it.
#include <cstdint>
#include <memory>

#include "engine/core/container.h"

class SWtexture;

class SWbackground : public CVTN_Container {
public:
    static constexpr uint32_t kModeTile = 0;
    static constexpr uint32_t kModeStretch = 1;
    static constexpr uint32_t kFlagDirect3DLayout = 1;

    SWbackground();                                                  // black, no texture
    explicit SWbackground(uint32_t packedColour);                    // 0x00RRGGBB
    SWbackground(std::unique_ptr<SWtexture> texture, uint32_t mode); // adopts the texture
    static std::unique_ptr<SWbackground> SWbackgroundFromTexture(std::unique_ptr<SWtexture> texture, uint32_t mode);
    ~SWbackground() override;

    uint32_t GetColour() const { return m_colour; }
    void SetColour(uint32_t packedColour); // a change raises the version
    SWtexture* GetTexture() const { return m_texture; }
    void SetTexture(std::unique_ptr<SWtexture> texture); // the old one is deleted; null clears; raises the version
    uint32_t GetMode() const { return m_mode; }
    uint32_t GetStretch() const { return m_mode; } // non-zero: stretched
    void SetMode(uint32_t mode);                   // 0 tile, anything else stretch (stored as 1)
    uint32_t GetBackgroundFlags() const { return m_backgroundFlags; }
    void SetBackgroundFlags(uint32_t flags) { m_backgroundFlags = flags; }
    uint8_t GetUsed() const { return m_used; }
    void SetUsed(uint8_t used) { m_used = used; } // set by the handlers that show it
    uint32_t GetReferenceCount() const { return m_referenceCount; }
    uint32_t AddReference() { return ++m_referenceCount; }
    uint32_t ReleaseReference(); // never below 0 and never deletes: ownership follows the container tree
    uint8_t GetChanged() const { return m_changed; }
    void SetChanged(uint8_t changed) { m_changed = changed; } // editors set it after building one
    uint32_t GetVersion() const { return m_version; }
    void RaiseVersion(); // the counter never returns to 0, which holders use for "none built yet"
    uint64_t GetSerial() const { return m_serial; }

    // True when the background changed since cachedStamp was taken; cachedStamp then holds the current version.
    static bool CheckVersion(const SWbackground& background, uint32_t& cachedStamp);

    void Notify(uint32_t code, CVTN_Container* sender) override;

private:
    uint32_t m_colour = 0;
    SWtexture* m_texture = nullptr; // owned as a child container
    uint32_t m_mode = kModeTile;
    uint32_t m_backgroundFlags = 0;
    uint32_t m_version = 1;
    uint32_t m_referenceCount = 0;
    uint8_t m_used = 0;
    uint8_t m_changed = 0;
    uint64_t m_serial;
};
