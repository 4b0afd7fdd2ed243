#pragma once
// SWrasterhost: what the rasteriser asks of the surface that owns it, and nothing more: where to draw and the
// camera's depth range. The software surface answers for a frame; tests and tools answer with a buffer of their own.
class SWpixelbuffer;

class SWrasterhost {
public:
    virtual ~SWrasterhost() = default;

    virtual SWpixelbuffer* CurrentPixelBuffer() = 0; // with its own depth buffer; null draws nothing
    virtual float NearDistance() const = 0;
    virtual float FarDistance() const = 0;
};
