#pragma once
// The Direct3D 8 stand-in: a runtime registered as module "d3d8.dll" only when a test, a demo or a setting asks,
// whose devices keep every state, record every call, check every draw before reading a byte, fail chosen calls on
// demand, and draw with the reference rasteriser so that the hardware path can be seen.
#include "platform/base/result.h"
#include "platform/d3d8/d3d8.h"
#include "platform/d3d8/device_state.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pf {

struct Direct3D8Config {
    D3DCAPS8 caps = defaultCaps();             // everything device creation requires, W-buffer off, Dot3 on
    D3DFORMAT displayFormat = D3DFMT_X8R8G8B8; // A8R8G8B8 or R5G6B5 for the read-back paths
    uint32_t vendorId = 0x10DE;
    uint32_t driverBuild = 650;
    std::set<D3DFORMAT> textureFormats = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_R5G6B5};
    std::set<D3DFORMAT> depthFormats = {D3DFMT_D24X8, D3DFMT_D16};
    std::set<uint32_t> multiSampleTypes = {D3DMULTISAMPLE_NONE};
    bool rasterise = true;       // off where a test only counts calls
    uint8_t newResourceFill = 0; // every byte of a new texture or buffer: non-zero shows what a caller never wrote

    static D3DCAPS8 defaultCaps();
};

void registerDirect3D8StandIn(const Direct3D8Config& config = {});
void unregisterDirect3D8StandIn();
IDirect3D8* direct3DCreate8(uint32_t sdkVersion); // what the module exports
int d3d8LiveObjects();                            // the stand-in's objects still alive: the leak report

// Fails the n-th call (counted from when the plan is set, 1 = the next) of a named method, e.g. "Present",
// "CreateTexture", "CreateDevice", with the chosen result; each entry fires once.
struct FailurePlan {
    struct Entry {
        std::string method;
        uint32_t nth = 1;
        HResult result = D3DERR_INVALIDCALL;
    };
    std::vector<Entry> entries;
};
void setD3D8FailurePlan(const FailurePlan& plan);
// The methods a plan can fail, as the plan and the call log spell them ("Present", "VertexBuffer::Lock", ...); a plan
// naming another never fires.
const std::vector<std::string_view>& d3d8FailableMethods();
bool isD3D8FailableMethod(std::string_view method);

struct D3D8Call {
    std::string method;
    std::vector<double> args; // numbers as given; an object is its serial number, null 0; a struct pointer 0 or 1
    HResult result = S_OK;
};
struct DrawRecord {
    D3DPRIMITIVETYPE type = 0;
    bool indexed = false;
    uint32_t start = 0; // first vertex, or first index
    uint32_t minIndex = 0;
    uint32_t vertexCount = 0;
    uint32_t primitiveCount = 0;
    D3DDeviceState state;
    std::vector<uint8_t> vertices; // stream 0 from its first byte to the last vertex drawn
    std::vector<uint8_t> indices;  // the indices drawn
};
std::vector<D3D8Call> d3d8CallLog(); // every call of every stand-in object since the last clear, in order
std::vector<DrawRecord> d3d8Draws(); // the draws that passed their checks
void clearD3D8CallLog();
std::string formatD3D8Call(const D3D8Call& call); // "Clear(0, 0, 3, 4278190080, 1, 0) = 0"

} // namespace pf
