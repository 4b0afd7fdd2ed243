#pragma once
// Small routines the Tonalwave encoder and decoder share: the per-instance scratch stack every frame step takes its
// temporary arrays from, the succession of window codes, the split of the envelope quantiser, the companding pair
// of the gains, the coefficient selection of the bandwidth step and the placement of the periodic component.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace sound {

// One block per codec instance, taken at open. A push moves the top by n truncated to a multiple of 8, plus 8, so
// every frame is 8-byte aligned and holds at least n bytes. The depth of the pushes depends on the model and the
// frame kind only, never on the coded data, so running out is our own misuse: it fails an assertion, and in a
// release build the push answers null and nothing is written outside the block.
class ScratchStack {
public:
    explicit ScratchStack(size_t bytes); // throws std::bad_alloc

    void* Push(size_t bytes); // null when the block cannot hold it
    void Pop(size_t bytes);   // the same n as the matching push
    static size_t StepOf(size_t bytes) { return (bytes & ~size_t{7}) + 8; }

    size_t SizeBytes() const { return m_size; }
    size_t UsedBytes() const { return m_top - m_start; }
    size_t HighWaterBytes() const { return m_highWater - m_start; } // the deepest top since open
    void ResetHighWater() { m_highWater = m_top; }

private:
    std::unique_ptr<uint8_t[]> m_block;
    size_t m_size = 0;
    uintptr_t m_start = 0; // the first top: the base truncated to a multiple of 8, plus 8
    uintptr_t m_top = 0;
    uintptr_t m_end = 0;
    uintptr_t m_highWater = 0;
};

// The arrays of one frame step, popped together when it returns.
class ScratchFrame {
public:
    explicit ScratchFrame(ScratchStack& stack) : m_stack(stack) {}
    ~ScratchFrame();
    ScratchFrame(const ScratchFrame&) = delete;
    ScratchFrame& operator=(const ScratchFrame&) = delete;

    template <typename T>
    T* Take(size_t count) // zero-filled; null once the stack is exhausted, after which Failed() is true
    {
        void* memory = TakeBytes(count * sizeof(T));
        return static_cast<T*>(memory);
    }
    bool Failed() const { return m_failed; }

private:
    void* TakeBytes(size_t bytes);

    static constexpr int kMaxPushes = 24;
    ScratchStack& m_stack; // owned by the codec instance, which outlives every frame step
    size_t m_pushed[kMaxPushes] = {};
    int m_pushCount = 0;
    bool m_failed = false;
};

// The encoder's choice of window codes: the previous code and the decision inputs of the previous frame.
struct WindowCodeState {
    int previousCode = 0;
    bool previousTransient = false;
    bool previousMedium = false;
};
// The code that follows state.previousCode when a transient lies ahead (transient) or medium blocks are wanted
// (medium); every code chosen meets its predecessor's slope. Stores the code and the inputs in the state.
int NextWindowCode(bool transient, bool medium, WindowCodeState& state);

// The K2 + 1 boundaries of the envelope splits over P frequencies; empty for a K2 other than 2, 3 and 4.
std::vector<int> SplitBoundaries(int splits, int order);

// Weights of the envelope's linear interpolation: for spans of 8, 16, 2 and 4 coefficients, (k/s, 1 - k/s).
const std::array<float, 52>& InterpolationWeights();
int InterpolationWeightOffset(int span); // index of the pair k = 1 of that span

// The line-spectral frequencies' reconstruction, one routine for encoder and decoder, which must agree bit for bit.
// One pass: two frequencies closer than 0.0001 move apart by half the shortfall each.
void KeepLspSpacing(float* frequencies, int order);
// omega[k] = (1 - rho[k]) r[k] + rho[k] previous[k], then spaced; rho of zeros gives r itself.
void CombineLsp(const float* r, const float* rho, const float* previous, int order, float* omega);

// The companding pair of the gains: Compress(x, M, mu) = sign(x) M ln(1 + mu |x| / M) / ln(1 + mu), and its
// inverse Expand(y, M, mu) = sign(y) M ((1 + mu)^(|y| / M) - 1) / mu, each after clamping to [-M, M].
float Compress(float x, float largest, float mu);
float Expand(float y, float largest, float mu);

// Stored codebooks to floats: the main tables as they are, every other table times 1/2048.
inline constexpr float kCodebookScale = 0.00048828125f;
void ConvertCodebook(std::span<const int16_t> stored, bool scaled, std::span<float> out);

// 0.25 times the square of every element: what the encoder's search subtracts per codebook entry.
void CodebookEnergies(std::span<const float> codebook, std::span<float> out);

// Zeroes all but the K largest magnitudes of a block of length L (block.size()). Coefficient 1 never takes part
// and is never zeroed, so the block still keeps K coefficients; among equal magnitudes a lower index counts as
// smaller, except coefficient 0, which counts as the largest of its magnitude. work holds L entries.
void KeepLargest(std::span<float> block, int keep, std::span<uint16_t> work);

// Places each channel's R periodic values (values: channel after channel) at the harmonics of the fundamental its
// period index selects, into out (C x N, channel after channel; cleared first). rateKhz is the sampling rate in
// kHz; bitRateKbps the set's rate per channel, whose 32-kbit/s branch at 22 kHz widens the windows.
struct PeriodicPlacement {
    float rateKhz = 0.0f;
    int valuesPerChannel = 0; // R
    int largestIndex = 0;     // 2^T - 1
    int frameSamples = 0;     // N
    int channels = 0;
    int bitRateKbps = 0;
};
void PlacePeriodic(std::span<const int32_t> periodIndex, std::span<const float> values, std::span<float> out,
                   const PeriodicPlacement& placement);

// Fundamental (in coefficients) and window width of one period index, as PlacePeriodic uses them.
struct PeriodicHarmonics {
    float fundamental = 0.0f;
    int width = 0;
};
PeriodicHarmonics HarmonicsOf(int periodIndex, const PeriodicPlacement& placement);
// The coefficient each of the R values of one channel goes to, as PlacePeriodic places them; -1 for a value that
// falls outside the frame's band.
void PeriodicPositions(int periodIndex, const PeriodicPlacement& placement, std::span<int> out);

} // namespace sound
