#pragma once
// SWtexture: the base of every image a world holds (tag "TXTR"; the kinds add "CI32", "CI24", "CIG8" and later
// ones). Whatever the kind stores, every texture shows the same pixels: width x height u32 words 0xAARRGGBB (blue
// in the low byte), rows top to bottom. Kinds without alpha show 255 there.
//
// The change stamp tells renderers when to upload again; it never takes 0xFFFFFFFF, which a device texture uses
// for "never built". A texture may hold one counted reference to the device texture built from it.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "engine/core/container.h"

// What a texture needs of the device texture the renderer builds from it.
class SWdevicetexturebase {
public:
    virtual void AddRef() = 0;
    virtual void Release() = 0;           // the last release deletes it
    virtual uint32_t GetFlag() const = 0; // 0 once it is no longer valid

protected:
    virtual ~SWdevicetexturebase() = default; // deleted through Release only
};

class SWtexture : public CVTN_Container {
public:
    static constexpr uint32_t kMaxSide = 65536;
    static constexpr uint64_t kMaxPixels = uint64_t{1} << 26;
    static constexpr uint32_t kStampNeverBuilt = 0xFFFFFFFFu;
    static constexpr uint32_t kFlagBilinear = 8;

    SWtexture();
    ~SWtexture() override; // releases its device texture

    const std::string& GetName() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }
    int32_t GetWidth() const { return m_width; }
    int32_t GetHeight() const { return m_height; }
    uint32_t GetWidth32() const { return static_cast<uint32_t>(m_width); }
    uint32_t GetHeight32() const { return static_cast<uint32_t>(m_height); }
    uint32_t GetStamp() const { return m_stamp; }
    void SetStamp(uint32_t stamp) { m_stamp = stamp == kStampNeverBuilt ? 0 : stamp; } // as a loader restores it
    uint32_t GetTextureFlags() const { return m_textureFlags; }
    void SetTextureFlags(uint32_t flags) { m_textureFlags = flags; }

    virtual bool IsValid() const;                        // true when it has pixels
    virtual const uint32_t* GetPixels() const = 0;       // width x height words; null when not valid
    virtual uint32_t* GetPixelBuffer() = 0;              // the same, writable (a render surface may draw into it)
    virtual std::span<const uint8_t> GetFalloff() const; // the radial falloff bytes; empty for every image kind here

    // Adds 1 to the change stamp (skipping kStampNeverBuilt) and tells listeners kNotifyChanged.
    void Touch();

    // The device texture, or null; one whose flag is 0 is released first and null answered.
    SWdevicetexturebase* GetImage();
    void SetDeviceTexture(SWdevicetexturebase* device); // takes one reference; the old one is released; null clears

    // A new texture of the same kind, name, size and pixels; null when it cannot be made. Caller owns.
    virtual std::unique_ptr<SWtexture> Clone() const = 0;

    // Width and height a texture may have: each 1..kMaxSide, their product at most kMaxPixels.
    static bool IsAcceptedSize(int64_t width, int64_t height);

protected:
    void SetSize(int32_t width, int32_t height); // kinds set it once they hold the pixels

private:
    std::string m_name;
    int32_t m_width = 0;
    int32_t m_height = 0;
    uint32_t m_stamp = 0;
    uint32_t m_textureFlags = 0;
    SWdevicetexturebase* m_device = nullptr; // one reference held
};

// A copy of any texture of the kinds this library knows; null for null or when the copy cannot be made.
std::unique_ptr<SWtexture> CloneTextureObject(const SWtexture* texture);
