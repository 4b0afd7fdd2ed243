#pragma once
// SWdevicetexture: the device-side copy of a scene texture for a hardware device. It counts its references (the
// device's texture manager holds one, the source texture another through SWtexture::SetDeviceTexture) and
// validates with retries; uploading and freeing device memory are the derived class's.
//
// The source is read only inside Validate, so a source deleted while its copy waits in a manager leaves nothing
// that is used again.
#include <cstdint>

#include "engine/resources/texture.h"

class SWdevicetexture : public SWdevicetexturebase {
public:
    static constexpr uint32_t kNeverBuilt = 0xFFFFFFFFu;
    static constexpr int kUploadAttempts = 3;

    explicit SWdevicetexture(const SWtexture* source); // not owned
    SWdevicetexture(const SWdevicetexture&) = delete;
    SWdevicetexture& operator=(const SWdevicetexture&) = delete;

    void AddRef() override { ++m_references; }
    void Release() override;                              // at 0 or below the object deletes itself
    uint32_t GetFlag() const override { return m_valid; } // 0 once evicted
    int32_t GetReferenceCount() const { return m_references; }
    uint32_t GetBuiltFor() const { return m_builtFor; }
    const SWtexture* GetSource() const { return m_source; }

    // Uploads when the source's change stamp moved since the last upload; up to three attempts, with device memory
    // freed between them. False after three failures, the built-for stamp unchanged.
    bool Validate();

protected:
    ~SWdevicetexture() override;
    virtual bool Upload() = 0;     // copies the source's pixels to the device
    virtual void FreeMemory() = 0; // makes room on the device for another attempt
    void Invalidate() { m_valid = 0; }

    const SWtexture* m_source; // not owned; read only inside Validate

private:
    uint32_t m_builtFor = kNeverBuilt;
    uint8_t m_valid = 1;
    int32_t m_references = 0;
};
