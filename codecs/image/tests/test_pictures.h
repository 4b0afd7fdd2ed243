#pragma once
// Synthetic pictures of 3-byte pixels (blue, green, red) for the image codec's tests, and the measures they use.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace cis::testing {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;
};

inline Picture Gradient(int width, int height)
{
    Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* px = &p.pixels[(static_cast<size_t>(y) * width + x) * 3];
            px[0] = static_cast<uint8_t>(255 * x / std::max(1, width - 1));
            px[1] = static_cast<uint8_t>(255 * y / std::max(1, height - 1));
            px[2] = static_cast<uint8_t>((x + y) * 255 / std::max(1, width + height - 2));
        }
    }
    return p;
}

inline Picture Noise(int width, int height, uint32_t seed)
{
    Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    std::mt19937 rng(seed);
    for (uint8_t& b : p.pixels)
        b = static_cast<uint8_t>(rng());
    return p;
}

inline Picture Solid(int width, int height, uint8_t b, uint8_t g, uint8_t r)
{
    Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    for (size_t i = 0; i < p.pixels.size(); i += 3) {
        p.pixels[i] = b;
        p.pixels[i + 1] = g;
        p.pixels[i + 2] = r;
    }
    return p;
}

// Smooth shapes with soft shading, some texture and a few hard edges: a stand-in for a photograph.
inline Picture PhotoLike(int width, int height, uint32_t seed)
{
    Picture p{width, height, std::vector<uint8_t>(static_cast<size_t>(width) * height * 3)};
    std::mt19937 rng(seed);
    std::normal_distribution<double> grain(0.0, 3.0);
    const double cx = width * 0.4;
    const double cy = height * 0.55;
    const double radius = std::min(width, height) * 0.3;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double fx = static_cast<double>(x) / width;
            const double fy = static_cast<double>(y) / height;
            double r = 120 + 80 * std::sin(fx * 5.0 + fy * 2.0);
            double g = 100 + 60 * std::cos(fy * 7.0) + 30 * std::sin(fx * 13.0);
            double b = 90 + 70 * fy;
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < radius * radius) {
                const double shade = 1.0 - std::hypot(x - cx, y - cy) / radius;
                r = 200 * shade + 40;
                g = 60 + 50 * shade;
                b = 40;
            }
            if (x > width * 3 / 4 && y < height / 3)
                r = g = b = ((x / 3 + y / 5) % 2) ? 230 : 30; // a striped patch: hard edges
            uint8_t* px = &p.pixels[(static_cast<size_t>(y) * width + x) * 3];
            px[0] = static_cast<uint8_t>(std::clamp(b + grain(rng), 0.0, 255.0));
            px[1] = static_cast<uint8_t>(std::clamp(g + grain(rng), 0.0, 255.0));
            px[2] = static_cast<uint8_t>(std::clamp(r + grain(rng), 0.0, 255.0));
        }
    }
    return p;
}

// Black glyph-like strokes on white: thin lines and sharp corners.
inline Picture TextLike(int width, int height)
{
    Picture p = Solid(width, height, 250, 250, 250);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int cellX = x % 12;
            const int cellY = y % 16;
            const bool stroke = (cellY > 2 && cellY < 13 && (cellX == 2 || cellX == 3 || (cellX + cellY) % 9 == 0)) ||
                                (cellY == 8 && cellX > 2 && cellX < 9);
            if (stroke) {
                uint8_t* px = &p.pixels[(static_cast<size_t>(y) * width + x) * 3];
                px[0] = px[1] = px[2] = 10;
            }
        }
    }
    return p;
}

// The 4-byte pixels (blue, green, red, 0) of a progressive decoder as 3-byte pixels.
inline std::vector<uint8_t> DropFourthBytes(const uint8_t* pixels, size_t count)
{
    std::vector<uint8_t> out(count * 3);
    for (size_t i = 0; i < count; ++i)
        for (size_t c = 0; c < 3; ++c)
            out[3 * i + c] = pixels[4 * i + c];
    return out;
}

} // namespace cis::testing
