#include "codecs/image/wavelet_transform.h"

#include <algorithm>
#include <vector>

namespace cis {
namespace {

// Every stored result is a 16-bit value; later steps use the stored value, which keeps the reversible transform
// exact even where a coefficient wraps.
inline int32_t Wrap(int32_t v)
{
    return static_cast<int16_t>(v);
}

using Pass = void (*)(const int32_t* x, int32_t* out, int n);

// Forward passes write the low band a_k to 0..m-1 and the details d_k to m..n-1.
void LossyForwardRow(const int32_t* x, int32_t* out, int n)
{
    const int m = n / 2;
    int32_t* d = out + m;
    d[0] = Wrap((x[1] - x[0] + 1) >> 1);
    for (int k = 1; k < m; ++k)
        d[k] = Wrap(((x[2 * k - 1] + x[2 * k + 1] + 1) >> 1) - x[2 * k]);
    out[0] = Wrap(x[1] + ((x[0] + 2 * x[1] + 2 * x[2] - x[3] + 2) >> 2));
    for (int k = 1; k < m - 1; ++k)
        out[k] = Wrap(2 * x[2 * k + 1] - ((d[k] + d[k + 1] + 1) >> 1));
    out[m - 1] = Wrap(2 * x[n - 1] - ((d[m - 1] + 1) >> 1));
}

void LossyForwardColumn(const int32_t* x, int32_t* out, int n)
{
    const int m = n / 2;
    int32_t* d = out + m;
    d[0] = Wrap((x[1] - x[0] + 2) >> 2);
    for (int k = 1; k < m; ++k)
        d[k] = Wrap((x[2 * k - 1] - 2 * x[2 * k] + x[2 * k + 1] + 2) >> 2);
    out[0] = Wrap(x[1] + ((x[0] + 2 * (x[2] - x[1]) - x[3] + 3) >> 3));
    for (int k = 1; k < m - 1; ++k)
        out[k] = Wrap(x[2 * k + 1] - ((d[k] + d[k + 1] + 1) >> 1));
    out[m - 1] = Wrap(x[n - 1] - ((d[m - 1] + 1) >> 1));
}

// Inverse passes read the low band L_j from 0..m-1 and the details d_j from m..n-1.
void LossyInverseColumn(const int32_t* in, int32_t* x, int n)
{
    const int m = n / 2;
    const int32_t* low = in;
    const int32_t* d = in + m;
    x[1] = Wrap(low[0] + ((d[0] + d[1] + 1) >> 1));
    x[0] = Wrap(x[1] - 4 * d[0]);
    x[n - 1] = Wrap(low[m - 1] + ((d[m - 1] + 1) >> 1));
    x[n - 2] = Wrap(((d[m - 2] + 2 * (low[m - 2] + low[m - 1] - d[m - 1]) + 2) >> 2) - d[m - 1]);
    for (int j = 1; j < m - 1; ++j)
        x[2 * j + 1] = Wrap(low[j] + ((d[j] + d[j + 1] + 1) >> 1));
    for (int j = 1; j < m - 1; ++j)
        x[2 * j] = Wrap(((x[2 * j - 1] + x[2 * j + 1] + 1) >> 1) - 2 * d[j]);
}

void LossyInverseRow(const int32_t* in, int32_t* x, int n)
{
    const int m = n / 2;
    const int32_t* low = in;
    const int32_t* d = in + m;
    x[1] = Wrap((2 * low[0] + d[0] + d[1] + 2) >> 2);
    x[0] = Wrap(x[1] - 2 * d[0]);
    x[n - 1] = Wrap((2 * low[m - 1] + d[m - 1] + 2) >> 2);
    x[n - 2] = Wrap(((d[m - 2] + 2 * (d[m - 1] + low[m - 2] + low[m - 1]) + 4) >> 3) - d[m - 1]);
    for (int j = 1; j < m - 1; ++j)
        x[2 * j + 1] = Wrap((2 * low[j] + d[j] + d[j + 1] + 2) >> 2);
    for (int j = 1; j < m - 1; ++j)
        x[2 * j] = Wrap(((x[2 * j - 1] + x[2 * j + 1] + 1) >> 1) - d[j]);
}

void LossyInterpolateColumn(const int32_t* low, int32_t* x, int n)
{
    const int m = n / 2;
    x[0] = x[1] = low[0];
    for (int j = 1; j < m - 1; ++j) {
        x[2 * j + 1] = low[j];
        x[2 * j] = Wrap((low[j - 1] + low[j] + 1) >> 1);
    }
    x[n - 1] = low[m - 1];
    x[n - 2] = Wrap((low[m - 2] + low[m - 1] + 1) >> 1);
}

void LossyInterpolateRow(const int32_t* low, int32_t* x, int n)
{
    const int m = n / 2;
    x[0] = x[1] = Wrap((low[0] + 1) >> 1);
    for (int j = 1; j < m - 1; ++j) {
        x[2 * j + 1] = Wrap((low[j] + 1) >> 1);
        x[2 * j] = Wrap((low[j - 1] + low[j] + 3) >> 2);
    }
    x[n - 1] = Wrap((low[m - 1] + 1) >> 1);
    x[n - 2] = Wrap((low[m - 2] + low[m - 1] + 2) >> 2);
}

// The reversible column and row passes differ only in their rounding terms.
template <int kPredictRound, int kUpdateRound, int kFirstUpdateRound>
void ReversibleForward(const int32_t* x, int32_t* out, int n)
{
    const int m = n / 2;
    int32_t* d = out + m;
    d[0] = Wrap(((x[0] + x[2] + kPredictRound) >> 1) - x[1]);
    out[0] = Wrap(x[0] - ((d[0] + kFirstUpdateRound) >> 1));
    for (int k = 1; k < m - 1; ++k) {
        d[k] = Wrap(((x[2 * k] + x[2 * k + 2] + kPredictRound) >> 1) - x[2 * k + 1]);
        out[k] = Wrap(x[2 * k] - ((d[k - 1] + d[k] + kUpdateRound) >> 2));
    }
    d[m - 1] = Wrap(x[n - 2] - x[n - 1]);
    out[m - 1] = Wrap(x[n - 2] - ((d[m - 2] + d[m - 1] + kUpdateRound) >> 2));
}

template <int kPredictRound, int kUpdateRound, int kFirstUpdateRound>
void ReversibleInverse(const int32_t* in, int32_t* x, int n)
{
    const int m = n / 2;
    const int32_t* a = in;
    const int32_t* d = in + m;
    x[0] = Wrap(a[0] + ((d[0] + kFirstUpdateRound) >> 1));
    for (int k = 1; k < m; ++k)
        x[2 * k] = Wrap(a[k] + ((d[k - 1] + d[k] + kUpdateRound) >> 2));
    for (int k = 0; k < m - 1; ++k)
        x[2 * k + 1] = Wrap(((x[2 * k] + x[2 * k + 2] + kPredictRound) >> 1) - d[k]);
    x[n - 1] = Wrap(x[n - 2] - d[m - 1]);
}

void ReversibleInterpolate(const int32_t* low, int32_t* x, int n)
{
    const int m = n / 2;
    x[0] = low[0];
    for (int j = 1; j < m; ++j) {
        x[2 * j] = low[j];
        x[2 * j - 1] = Wrap((low[j - 1] + low[j] + 1) >> 1);
    }
    x[n - 1] = x[n - 2];
}

constexpr Pass kReversibleForwardColumn = ReversibleForward<0, 1, 0>;
constexpr Pass kReversibleForwardRow = ReversibleForward<1, 2, 1>;
constexpr Pass kReversibleInverseColumn = ReversibleInverse<0, 1, 0>;
constexpr Pass kReversibleInverseRow = ReversibleInverse<1, 2, 1>;

class LinePasses {
public:
    static constexpr int kColumnGroup = 16;

    LinePasses(ImagePlane& plane, int width, int height)
        : m_plane(plane), m_width(width), m_height(height), m_in(static_cast<size_t>(width)), m_out(m_in.size()),
          m_columnsIn(static_cast<size_t>(kColumnGroup) * static_cast<size_t>(height)), m_columnsOut(m_columnsIn.size())
    {
    }

    // Runs the pass over the first `rows` rows of the region, each of the region's width.
    void Rows(Pass pass, int rows)
    {
        for (int y = 0; y < rows; ++y) {
            int16_t* row = m_plane.Row(y);
            std::copy(row, row + m_width, m_in.begin());
            pass(m_in.data(), m_out.data(), m_width);
            std::copy(m_out.begin(), m_out.begin() + m_width, row);
        }
    }

    // Runs the pass over the first `columns` columns of the region, each of the region's height. Columns are
    // gathered a group at a time, so that every plane row is read and written as one contiguous run.
    void Columns(Pass pass, int columns)
    {
        const size_t height = static_cast<size_t>(m_height);
        for (int first = 0; first < columns; first += kColumnGroup) {
            const int group = std::min(kColumnGroup, columns - first);
            for (size_t y = 0; y < height; ++y) {
                const int16_t* row = m_plane.Row(static_cast<int>(y)) + first;
                for (int c = 0; c < group; ++c)
                    m_columnsIn[static_cast<size_t>(c) * height + y] = row[c];
            }
            for (int c = 0; c < group; ++c)
                pass(&m_columnsIn[static_cast<size_t>(c) * height], &m_columnsOut[static_cast<size_t>(c) * height],
                     m_height);
            for (size_t y = 0; y < height; ++y) {
                int16_t* row = m_plane.Row(static_cast<int>(y)) + first;
                for (int c = 0; c < group; ++c)
                    row[c] = static_cast<int16_t>(m_columnsOut[static_cast<size_t>(c) * height + y]);
            }
        }
    }

private:
    ImagePlane& m_plane;
    int m_width;
    int m_height;
    std::vector<int32_t> m_in;
    std::vector<int32_t> m_out;
    std::vector<int32_t> m_columnsIn;
    std::vector<int32_t> m_columnsOut;
};

} // namespace

void ForwardLossyTransform(ImagePlane& plane, int levels)
{
    for (int i = 0; i < levels; ++i) {
        const int width = plane.width >> i;
        const int height = plane.height >> i;
        LinePasses passes(plane, width, height);
        passes.Rows(LossyForwardRow, height);
        passes.Columns(LossyForwardColumn, width);
    }
}

void ForwardReversibleTransform(ImagePlane& plane, int levels)
{
    for (int i = 0; i < levels; ++i) {
        const int width = plane.width >> i;
        const int height = plane.height >> i;
        LinePasses passes(plane, width, height);
        passes.Columns(kReversibleForwardColumn, width);
        passes.Rows(kReversibleForwardRow, height);
    }
}

void InvertLevel(ImagePlane& plane, int k, int levels, int keptLevels, bool reversible)
{
    const int width = plane.width >> (levels - k);
    const int height = plane.height >> (levels - k);
    LinePasses passes(plane, width, height);
    const bool withDetails = k <= keptLevels;
    if (reversible && withDetails) {
        passes.Rows(kReversibleInverseRow, height);
        passes.Columns(kReversibleInverseColumn, width);
    } else if (reversible) {
        passes.Rows(ReversibleInterpolate, height / 2);
        passes.Columns(ReversibleInterpolate, width);
    } else if (withDetails) {
        passes.Columns(LossyInverseColumn, width);
        passes.Rows(LossyInverseRow, height);
    } else {
        passes.Columns(LossyInterpolateColumn, width / 2);
        passes.Rows(LossyInterpolateRow, height);
    }
}

} // namespace cis
