#pragma once
// The Tonalwave codec interface: the five models (ACS48, AC24, ACS20, AC10, AC8) behind one table of entry points,
// each model's get-info record, and the open, close and frame calls of encoder and decoder.
#include <array>
#include <cstdint>
#include <memory>
#include <span>

#include "codecs/sound/codec_handle.h"

namespace sound {

// The row of the model table; the wave glue computes it from the scheme id ("7496" row 0 ... "7492" row 4).
enum class TonalwaveModel : uint8_t {
    kAcs48 = 0,
    kAc24 = 1,
    kAcs20 = 2,
    kAc10 = 3,
    kAc8 = 4,
};
inline constexpr int kTonalwaveModelCount = 5;

struct TonalwaveDescriptor {
    uint32_t kbps;
    uint32_t channels;
    uint16_t (*frameSize)();
    CodecResult (*getInfo)(CodecInfo* out);
    CodecResult (*openEncoder)(std::unique_ptr<CodecHandle>* handleVar);
    CodecResult (*openDecoder)(std::unique_ptr<CodecHandle>* handleVar);
    CodecResult (*encode)(CodecHandle* handle, CodecIO* io);
    CodecResult (*decode)(CodecHandle* handle, CodecIO* io);
    CodecResult (*closeEncoder)(std::unique_ptr<CodecHandle>* handleVar);
    CodecResult (*closeDecoder)(std::unique_ptr<CodecHandle>* handleVar);
};

const std::array<TonalwaveDescriptor, kTonalwaveModelCount>& TonalwaveModels();
const TonalwaveDescriptor& DescriptorOf(TonalwaveModel model);
uint32_t ConfigurationCodeOf(TonalwaveModel model); // 0x32224, 0x12224, 0x31110, 0x11110, 0x18080
const char* NameOf(TonalwaveModel model);           // "acs48", "ac24", "acs20", "ac10", "ac8"

// Opens a decoder of any configuration code: 6170 for a null variable; 6000, the variable null, when the code is
// refused, its set cannot be decoded or memory runs out.
CodecResult OpenTonalwaveDecoder(uint32_t configurationCode, std::unique_ptr<CodecHandle>* handleVar);
// 6170, 6100, 6115 as every close; frees the state and the transform layer's tables.
CodecResult CloseTonalwaveDecoder(std::unique_ptr<CodecHandle>* handleVar);
// Checks the handle and then the record (6100, 6115, 6170, 6130, 6125, 6145, 6150, 6135, 6140); reads one frame
// at the start position, advancing it, and writes C x N interleaved samples with the sample count N. The record's
// sample buffer must hold C x N samples. 6000, with the samples zeroed, only if the scratch stack ran out.
CodecResult DecodeTonalwaveFrame(CodecHandle* handle, CodecIO* io);

// Opens an encoder of any configuration code: 6170 for a null variable; 6000, the variable null, when the code is
// refused, its set cannot be coded or memory runs out. The encoder asks nothing of the processor: the same input
// gives the same bytes on every host.
CodecResult OpenTonalwaveEncoder(uint32_t configurationCode, std::unique_ptr<CodecHandle>* handleVar);
// 6170, 6100, 6110 as every close; frees the state and the transform layer's tables.
CodecResult CloseTonalwaveEncoder(std::unique_ptr<CodecHandle>* handleVar);
// Checks the handle and then the record (6100, 6110, 6170, 6130, 6125, 6145, 6150, 6135, 6140); reads C x N
// interleaved samples and writes one frame at the end position, advancing it; positions wrap at the coded size.
// The coded frame describes the block before this call's samples: the codec delays by two frames in all. 6000, with
// nothing written, only if the scratch stack ran out.
CodecResult EncodeTonalwaveFrame(CodecHandle* handle, CodecIO* io);

// The float output of a frame (C x N, channel after channel; mid then side in stereo) as interleaved 16-bit
// samples: rounded to the nearest integer and clamped to -32767..32767; a value that is not a number gives 0.
// Stereo is turned back into left (M + S) 0.70710677 and right (M - S) 0.70710677.
void ConvertToSamples(std::span<const float> output, int channels, int frameSamples, std::span<int16_t> out);

} // namespace sound
