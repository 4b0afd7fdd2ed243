#pragma once
// The calling convention every coded sound family shares: an instance handle owned by the caller between open and
// close, one I/O record per frame call with bit-exact read and write positions, and the 16-bit result codes.
// The checks below are the building blocks of each family's validation order; the first failing check decides.
#include <cstdint>
#include <functional>
#include <memory>

namespace sound {

using CodecResult = uint16_t;

// Result codes of every family call. A bad argument never shares a code with damaged coded data.
inline constexpr CodecResult kCodecOk = 0;                // success
inline constexpr CodecResult kCodecOutOfMemory = 6000;    // the handle or a part of its state failed to allocate
inline constexpr CodecResult kCodecBadHandle = 6100;      // the handle is null or its magic is not 0xFACE
inline constexpr CodecResult kCodecBadKind = 6105;        // the handle is neither an encoder nor a decoder
inline constexpr CodecResult kCodecNotEncoder = 6110;     // an encoder call was given a handle that is not one
inline constexpr CodecResult kCodecNotDecoder = 6115;     // a decoder call was given a handle that is not one
inline constexpr CodecResult kCodecNoSamples = 6125;      // the I/O record has no sample buffer
inline constexpr CodecResult kCodecNoCoded = 6130;        // the I/O record has no coded buffer
inline constexpr CodecResult kCodecBadStartBit = 6135;    // start bit above 7
inline constexpr CodecResult kCodecBadEndBit = 6140;      // end bit above 7
inline constexpr CodecResult kCodecBadStartByte = 6145;   // start byte not below the coded size
inline constexpr CodecResult kCodecBadEndByte = 6150;     // end byte not below the coded size
inline constexpr CodecResult kCodecBufferTooSmall = 6155; // the coded buffer cannot hold the frame
inline constexpr CodecResult kCodecBadTimeScale = 6165;   // a decoder's time-scale factor outside its range
inline constexpr CodecResult kCodecNullArgument = 6170;   // a required pointer argument is null
inline constexpr CodecResult kCodecBadFrame = 6185;       // the coded data does not unpack into a valid frame
inline constexpr CodecResult kCodecBadLayers = 6186;      // a layer selection the codec state rejects
inline constexpr CodecResult kCodecBadStream = 6187;      // frame or layer lengths of a coded stream disagree
inline constexpr CodecResult kCodecBadLayerMask = 6191;   // the requested encoder layer mask is not accepted
inline constexpr CodecResult kCodecUnsupported = 6500;    // the operation is not offered by this variant

inline constexpr uint32_t kCodecHandleMagic = 0xFACE;

// Stored in the handle's kind byte; compared with what the calls expect.
enum class CodecKind : uint8_t {
    kNone = 0,
    kEncoder = 10,
    kDecoder = 11,
};

// One frame call's buffers, owned by the caller; the codec moves the positions.
struct CodecIO {
    int16_t* samples = nullptr; // interleaved PCM: an encoder's input, a decoder's output; not owned
    uint16_t sampleCount = 0;   // set by a decoder: samples per channel produced by this call
    uint8_t* coded = nullptr;   // an encoder's output, a decoder's input; not owned
    uint16_t codedSize = 0;     // bytes of the coded buffer
    uint16_t startByte = 0;     // a decoder's read position
    uint8_t startBit = 0;       // 0..7
    uint16_t endByte = 0;       // an encoder's write position
    uint8_t endBit = 0;         // 0..7
};

// What a model's get-info call fills; the values of each family stand with its interface.
struct CodecInfo {
    uint16_t recordKind = 4;
    char version[34] = {}; // NUL-terminated
    uint32_t formatTag = 0;
    uint32_t secondFormatTag = 0;
    uint16_t sampleRate = 0; // Hz
    uint16_t bitsPerSample = 0;
    uint16_t frameSamples = 0; // per channel
    uint16_t channels = 0;
    uint16_t secondCount = 1;
    uint32_t bitRate = 0; // bit/s
    uint32_t bitsPerFrame[3] = {};
    uint16_t delayFrames = 0;
    uint16_t delaySamples = 0; // the delay's remainder below one frame
};

// Anything a handle owns beyond its fixed fields: a family's state, a quantiser state, a probe registry, a table
// of extension operations. Destroyed through this base when the handle closes.
class CodecPart {
public:
    virtual ~CodecPart() = default;
};

struct CodecHandle;

// A family's seven entry points, in the order its function table stores them.
struct CodecFunctionTable {
    CodecResult (*getInfo)(CodecInfo* out) = nullptr;
    CodecResult (*encode)(CodecHandle* handle, CodecIO* io) = nullptr;
    CodecResult (*decode)(CodecHandle* handle, CodecIO* io) = nullptr;
    CodecResult (*openEncoder)(std::unique_ptr<CodecHandle>* handleVar) = nullptr;
    CodecResult (*openDecoder)(std::unique_ptr<CodecHandle>* handleVar) = nullptr;
    CodecResult (*closeEncoder)(std::unique_ptr<CodecHandle>* handleVar) = nullptr;
    CodecResult (*closeDecoder)(std::unique_ptr<CodecHandle>* handleVar) = nullptr;
};

// The instance handle. The caller's handle variable is a std::unique_ptr: the open call fills it, the close call
// empties it, and whatever the handle owns goes with it.
struct CodecHandle {
    uint32_t magic = 0; // kCodecHandleMagic while open
    uint32_t formatTag = 0;
    uint32_t secondFormatTag = 0;
    CodecKind kind = CodecKind::kNone;
    std::unique_ptr<CodecPart> state;       // the family's encoder or decoder state
    std::unique_ptr<CodecPart> secondState; // a second state where the family has one
    std::unique_ptr<CodecPart> probeRegistry;
    CodecIO* currentIO = nullptr; // the record of the call in progress; not owned
    std::unique_ptr<CodecFunctionTable> functions;
    std::unique_ptr<CodecPart> extensions; // null until created
};

// Steps 1 to 3 of every open call: a null variable is 6170; a failed allocation 6000 with the variable null;
// otherwise a fresh handle of the kind and tags, magic set, stored in the variable. The family then builds its
// state and, when that fails, closes the half-built handle and returns 6000.
CodecResult OpenCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind, uint32_t formatTag = 0,
                            uint32_t secondFormatTag = 0);

// The open call of a family, whole: OpenCodecHandle, then build fills the fresh handle; when build answers false or
// memory runs out, the half-built handle is closed and the result is 6000 with the variable null.
CodecResult OpenBuiltCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind, uint32_t formatTag,
                                 uint32_t secondFormatTag, const std::function<bool(CodecHandle&)>& build);

// A close call: 6170 null variable, 6100 null handle or bad magic, 6110 or 6115 wrong kind; else the magic is
// cleared, everything the handle owns is freed, the variable becomes null and the result is 0.
CodecResult CloseCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind);
// The close call of a family whose states run transforms: as CloseCodecHandle, and a close that succeeds lets the
// cached transform tables go.
CodecResult CloseTransformingCodecHandle(std::unique_ptr<CodecHandle>* handleVar, CodecKind kind);

CodecResult CheckHandle(const CodecHandle* handle, CodecKind kind); // 6100, then 6110 or 6115
CodecResult CheckHandleEitherKind(const CodecHandle* handle);       // 6100, then 6105
// The family state behind a handle of the kind: 0 with out set; the handle check's result; or 6100 for a state of
// another family.
template <typename State> CodecResult CheckHandleState(CodecHandle* handle, CodecKind kind, State*& out)
{
    const CodecResult checked = CheckHandle(handle, kind);
    if (checked != kCodecOk)
        return checked;
    out = dynamic_cast<State*>(handle->state.get());
    return out != nullptr ? kCodecOk : kCodecBadHandle;
}
CodecResult CheckCodecIO(const CodecIO* io);   // 6170, 6130, 6125, 6145, 6150, 6135, 6140 in that order
CodecResult CheckCodecRing(const CodecIO* io); // the same without the sample buffer: for calls that take none

// Frame-call checks of the families that check both: the handle first (RT24, and the SC36 decoder once a frame
// is present) or the record first (the SC36 encoder).
enum class FrameCheckOrder {
    kHandleFirst,
    kRecordFirst,
};
CodecResult CheckFrameCall(const CodecHandle* handle, const CodecIO* io, CodecKind kind, FrameCheckOrder order);

} // namespace sound
