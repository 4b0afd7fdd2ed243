#include "codecs/sound/Tonalwave/tables/tonalwave_bootstrap.h"

#include <algorithm>
#include <cstdio>

#include "codecs/sound/Tonalwave/tonalwave_codebooks.h"

namespace sound {

namespace {

// splitmix64: a fixed, portable stream of 64-bit words.
class Draws {
public:
    explicit Draws(uint64_t seed) : m_state(seed) {}

    uint64_t Next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Close to a normal draw times sigma: the sum of twelve 16-bit uniforms, centred (Irwin-Hall), whose standard
    // deviation is 65536. Integer arithmetic only, so every machine draws the same tables.
    int64_t Normal(int64_t sigma)
    {
        int64_t sum = 0;
        for (int i = 0; i < 12; ++i)
            sum += static_cast<int64_t>(Next() & 0xFFFF);
        const int64_t centred = 2 * sum - 12 * 65535; // twice the deviation from the mean
        return centred * sigma / (2 * 65536);
    }

    int64_t Uniform(int64_t lowest, int64_t highest) // inclusive
    {
        return lowest + static_cast<int64_t>(Next() % static_cast<uint64_t>(highest - lowest + 1));
    }

private:
    uint64_t m_state;
};

int16_t Clip(int64_t value)
{
    return static_cast<int16_t>(std::clamp<int64_t>(value, -32767, 32767));
}

// Sigmas in stored units. A main reconstruction 0.5 (+-A +- B) then has an RMS near 1024, the normalised target's;
// a periodic one near 1 after the 1/2048 scale, as its gain-normalised target; band-scale values stay small around
// 0, where an envelope that needs no correction lies.
constexpr int64_t kMainSigma = 1448;
constexpr int64_t kPeriodicSigma = 2896;
constexpr int64_t kBandSigma = 1024;
constexpr int64_t kLspStage2Sigma = 41; // 0.02 rad
constexpr double kPi = 3.14159265358979323846;

void DrawNormals(Draws& draws, int64_t sigma, std::span<int16_t> out)
{
    for (int16_t& value : out)
        value = Clip(draws.Normal(sigma));
}

// Evenly spread frequencies (k + 1) pi / (P + 1), each moved by less than a third of the spacing: strictly
// ascending inside (0, pi) whatever the draw.
void DrawLspStage1(Draws& draws, int order, std::span<int16_t> row)
{
    const double spacing = kPi / (order + 1) * 2048.0;
    const auto jitter = static_cast<int64_t>(spacing / 3.0);
    for (int k = 0; k < order; ++k) {
        const auto centre = static_cast<int64_t>((k + 1) * spacing + 0.5);
        row[static_cast<size_t>(k)] = Clip(centre + draws.Uniform(-jitter, jitter));
    }
}

} // namespace

std::vector<int16_t> BuildBootstrapTables(TonalwaveSet set, uint64_t seed)
{
    const TonalwaveTableShape shape = ShapeOf(set);
    std::vector<int16_t> values(shape.total);
    const std::span<int16_t> all(values);
    Draws draws(seed ^ (static_cast<uint64_t>(set) << 56));
    for (const int kind : {0, 2, 1}) {
        const auto k = static_cast<size_t>(kind);
        DrawNormals(draws, kMainSigma, all.subspan(shape.mainOffset[k], 2 * shape.mainSize[k]));
    }
    for (const int kind : {0, 2, 1}) {
        const auto k = static_cast<size_t>(kind);
        DrawNormals(draws, kBandSigma, all.subspan(shape.bandOffset[k], shape.bandSize[k]));
    }
    DrawNormals(draws, kPeriodicSigma, all.subspan(shape.periodicOffset, shape.periodicSize));
    const auto order = static_cast<size_t>(shape.lspOrder);
    size_t at = shape.lspOffset;
    for (int row = 0; row < shape.lspStage1Rows; ++row, at += order)
        DrawLspStage1(draws, shape.lspOrder, all.subspan(at, order));
    for (int row = 0; row < shape.lspStage2Rows; ++row, at += order)
        DrawNormals(draws, kLspStage2Sigma, all.subspan(at, order));
    // The two predictor sets: a light and a heavier moving-average weight.
    for (const int16_t weight : {int16_t{614}, int16_t{1229}}) {
        std::fill_n(values.begin() + static_cast<ptrdiff_t>(at), order, weight);
        at += order;
    }
    return values;
}

const char* TableSuffixOf(TonalwaveSet set)
{
    switch (set) {
    case TonalwaveSet::k8k8:
        return "8k8";
    case TonalwaveSet::k8k6:
        return "8k6";
    case TonalwaveSet::k11k10:
        return "11k10";
    case TonalwaveSet::k22k24:
        return "22k24";
    default:
        return "";
    }
}

std::string BootstrapTablesSource(TonalwaveSet set, std::span<const int16_t> values, const std::string& command)
{
    std::string text = "// " + command + "\n";
    text += "// wrote this file: do not edit. Bootstrap codebooks of the ";
    text += NameOf(set);
    text += " set, drawn from a fixed seed\n// in the shapes trained tables take.\n";
    text += "#include \"codecs/sound/Tonalwave/tonalwave_codebooks.h\"\n\nnamespace sound {\n\n";
    text += "std::span<const int16_t> StoredTables";
    text += TableSuffixOf(set);
    text += "()\n{\n    // clang-format off\n    static constexpr int16_t kValues[] = {\n";
    char number[16];
    for (size_t i = 0; i < values.size(); ++i) {
        if (i % 12 == 0)
            text += "        ";
        std::snprintf(number, sizeof number, "%d,", values[i]);
        text += number;
        text += (i % 12 == 11 || i + 1 == values.size()) ? "\n" : " ";
    }
    text += "    };\n    // clang-format on\n    return kValues;\n}\n\n} // namespace sound\n";
    return text;
}

} // namespace sound
