// vortan-gl-peer: draws the frames that `vortan-render scene --dump DIR` wrote, through OSMesa, as the fair peer of
// our software rasteriser: the same screen-space triangles, depth order, textures, filters and blends, one small
// fragment program per pipeline doing that pipeline's arithmetic in floats. It links OSMesa and nothing of Vortan;
// the file layout it reads is described in README.md beside it.
//
//   vortan-gl-peer DIR [--warmup N] [--timed N] [--pictures OUTDIR] [--background 0|1] [--level raster|frame]
//
// Prints GL_RENDERER, then the milliseconds per frame from glClear to glFinish (drawn-frames cycle through the dumped
// ones), and the same with a glReadPixels of the frame in BGRA added. --pictures writes each dumped frame as the peer
// drew it to OUTDIR/peer-NNNN.raw: width x height 32-bit words 0x00RRGGBB, top row first. --background 0 leaves the
// background quad out (the frame is cleared only), for cases where our side times the triangles alone. --level frame
// draws each frame's object-space meshes from DIR/mesh-NNNN.bin instead of its screen triangles: the peer's vertex
// shader transforms and shades them as our vertex stage does, GL culls back faces and clips.
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/osmesa.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kStages = 8;
constexpr uint32_t kMostSide = 8192;

bool g_shaderFailed = false; // a program that did not build draws nothing, so the run must not count

// A bounded little-endian cursor: a read past the end yields 0 and marks the cursor.
class Cursor {
public:
    explicit Cursor(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}
    uint32_t U32()
    {
        if (m_bytes.size() - m_at < 4) {
            m_bad = true;
            m_at = m_bytes.size();
            return 0;
        }
        const uint32_t v = uint32_t{m_bytes[m_at]} | uint32_t{m_bytes[m_at + 1]} << 8 |
                           uint32_t{m_bytes[m_at + 2]} << 16 | uint32_t{m_bytes[m_at + 3]} << 24;
        m_at += 4;
        return v;
    }
    uint8_t U8()
    {
        if (m_at >= m_bytes.size()) {
            m_bad = true;
            return 0;
        }
        return m_bytes[m_at++];
    }
    float F32()
    {
        const uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, 4);
        return f;
    }
    size_t Remaining() const { return m_bytes.size() - m_at; }
    bool Bad() const { return m_bad; }
    // n words, only when the bytes hold them.
    bool Words(size_t n, std::vector<uint32_t>& out)
    {
        if (n > Remaining() / 4) {
            m_bad = true;
            return false;
        }
        out.resize(n);
        for (uint32_t& w : out)
            w = U32();
        return true;
    }
    bool Bytes(size_t n, std::vector<uint8_t>& out)
    {
        if (n > Remaining()) {
            m_bad = true;
            return false;
        }
        out.assign(m_bytes.begin() + static_cast<ptrdiff_t>(m_at), m_bytes.begin() + static_cast<ptrdiff_t>(m_at + n));
        m_at += n;
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_at = 0;
    bool m_bad = false;
};

struct Texture {
    uint32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
    std::vector<uint8_t> falloff;
    GLuint nearest = 0, linear = 0, table = 0;
};

struct Layer {
    uint32_t constant = 0;
    int32_t texture = -1;
    uint8_t flags = 0;
    int8_t set = 0;
};

struct Run {
    uint32_t pipeline = 0;
    bool depthTest = false, depthWrite = false;
    uint8_t blendMode = 0, combineMode = 0;
    float depthScale = 1.0f;
    uint8_t stride = 0, firstFloat = 0, colours = 0, layerCount = 0;
    Layer layers[kStages];
    uint32_t triangles = 0;
    std::vector<uint32_t> words;
    GLuint buffer = 0;
    GLuint program = 0;
};

// One draw group of the frame level: object-space vertices and triangles, with what our vertex stage read for it.
struct MeshGroup {
    Run run; // how its triangles are drawn; run.triangles is the group's triangle count
    uint32_t drawFlags = 0;
    int32_t highlightWord = -1, textureWord = -1, reflectionWord = -1;
    float combined[12] = {};
    float vectors[18] = {}; // light, highlight bases b1 and b2, eye, view x and y: all in object space
    float highlightScale = 0.0f, highlightOffset = 0.0f;
    uint32_t constants[2] = {};
    std::vector<uint32_t> ramps;    // ramp 1 then ramp 2, 256 colours each
    std::vector<uint32_t> vertices; // position and normal, six floats (as bits) each
    std::vector<uint32_t> coordinates;
    std::vector<uint32_t> indices;
    uint32_t vertexCount = 0;
    GLuint buffer = 0, indexBuffer = 0, rampTexture = 0;
};

struct MeshFrame {
    float xScale = 0.0f, xOffset = 0.0f, yScale = 0.0f, yOffset = 0.0f, nearValue = 0.0f;
    std::vector<uint8_t> angles; // the angle table's high bytes
    std::vector<MeshGroup> groups;
    GLuint angleTexture = 0;
};

struct Frame {
    uint32_t width = 0, height = 0, index = 0;
    std::vector<uint32_t> background;
    std::vector<Texture> textures;
    std::vector<Run> runs;
    GLuint backgroundTexture = 0;
    std::optional<MeshFrame> meshes; // the frame level only
};

// The part of a run that says how its triangles are drawn; shared by the frame file's runs and the mesh file's groups.
void ReadRunHeader(Cursor& c, Run& r, uint32_t textureCount)
{
    r.pipeline = c.U32();
    r.depthTest = c.U8() != 0;
    r.depthWrite = c.U8() != 0;
    r.blendMode = c.U8();
    r.combineMode = c.U8();
    r.depthScale = c.F32();
    r.stride = c.U8();
    r.firstFloat = c.U8();
    r.colours = c.U8();
    r.layerCount = c.U8();
    for (Layer& l : r.layers) {
        l.constant = c.U32();
        l.texture = static_cast<int32_t>(c.U32());
        l.flags = c.U8();
        l.set = static_cast<int8_t>(c.U8());
        c.U8();
        c.U8();
        if (l.texture >= static_cast<int32_t>(textureCount))
            l.texture = -1;
    }
}

std::optional<Frame> ReadFrame(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Cursor c(bytes);
    Frame f;
    if (bytes.size() < 20 || std::memcmp(bytes.data(), "VTRF", 4) != 0) {
        error = path + ": not a dumped frame";
        return std::nullopt;
    }
    c.U32();
    if (c.U32() != 1) {
        error = path + ": unknown version";
        return std::nullopt;
    }
    f.width = c.U32();
    f.height = c.U32();
    f.index = c.U32();
    if (f.width == 0 || f.height == 0 || f.width > kMostSide || f.height > kMostSide ||
        !c.Words(size_t{f.width} * f.height, f.background)) {
        error = path + ": bad size or short background";
        return std::nullopt;
    }
    const uint32_t textureCount = c.U32();
    if (textureCount > c.Remaining() / 12) {
        error = path + ": texture count beyond the file";
        return std::nullopt;
    }
    f.textures.resize(textureCount);
    for (Texture& t : f.textures) {
        t.width = c.U32();
        t.height = c.U32();
        if (t.width == 0 || t.height == 0 || t.width > kMostSide || t.height > kMostSide ||
            !c.Words(size_t{t.width} * t.height, t.pixels) || !c.Bytes(c.U32(), t.falloff)) {
            error = path + ": damaged texture";
            return std::nullopt;
        }
    }
    const uint32_t runCount = c.U32();
    if (runCount > c.Remaining() / 16) {
        error = path + ": run count beyond the file";
        return std::nullopt;
    }
    f.runs.resize(runCount);
    for (Run& r : f.runs) {
        ReadRunHeader(c, r, textureCount);
        r.triangles = c.U32();
        if (r.stride < 4 || r.firstFloat > r.stride || r.triangles > c.Remaining() / (12u * r.stride) ||
            !c.Words(size_t{r.triangles} * 3 * r.stride, r.words)) {
            error = path + ": damaged run";
            return std::nullopt;
        }
    }
    if (c.Bad()) {
        error = path + ": truncated";
        return std::nullopt;
    }
    return f;
}

constexpr uint32_t kAngleTableSize = 16384;
constexpr uint32_t kMostGroupVertices = 65536; // our groups index with 16 bits

// DIR/mesh-NNNN.bin beside its frame: the frame level's groups, every count checked against the bytes that follow.
bool ReadMeshes(const std::string& path, Frame& frame, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Cursor c(bytes);
    if (bytes.size() < 20 || std::memcmp(bytes.data(), "VTRM", 4) != 0) {
        error = path + ": not a dumped mesh frame";
        return false;
    }
    c.U32();
    if (c.U32() != 1) {
        error = path + ": unknown version";
        return false;
    }
    const uint32_t width = c.U32(), height = c.U32(), index = c.U32();
    if (width != frame.width || height != frame.height || index != frame.index) {
        error = path + ": another size or frame than its frame file";
        return false;
    }
    MeshFrame m;
    m.xScale = c.F32();
    m.xOffset = c.F32();
    m.yScale = c.F32();
    m.yOffset = c.F32();
    m.nearValue = std::fabs(c.F32());
    if (!(m.nearValue > 0.0f && m.nearValue < 1.0f) || !std::isfinite(m.xScale * m.xOffset * m.yScale * m.yOffset)) {
        error = path + ": bad viewport or near plane";
        return false;
    }
    if (c.U32() != kAngleTableSize || !c.Bytes(kAngleTableSize, m.angles)) {
        error = path + ": damaged angle table";
        return false;
    }
    const uint32_t groupCount = c.U32();
    constexpr size_t kGroupHeadBytes = 112 + 16 + 48 + 72 + 8 + 8 + 2048 + 12;
    if (groupCount > c.Remaining() / kGroupHeadBytes) {
        error = path + ": group count beyond the file";
        return false;
    }
    const auto wordOf = [](uint32_t bits, uint8_t stride) {
        const auto word = static_cast<int32_t>(bits);
        return word >= 0 && word + 2 <= stride ? word : -1; // a pair that would not fit the stride is not written
    };
    m.groups.resize(groupCount);
    for (MeshGroup& g : m.groups) {
        ReadRunHeader(c, g.run, static_cast<uint32_t>(frame.textures.size()));
        g.drawFlags = c.U32();
        g.highlightWord = wordOf(c.U32(), g.run.stride);
        g.textureWord = wordOf(c.U32(), g.run.stride);
        g.reflectionWord = wordOf(c.U32(), g.run.stride);
        for (float& f : g.combined)
            f = c.F32();
        for (float& f : g.vectors)
            f = c.F32();
        g.highlightScale = c.F32();
        g.highlightOffset = c.F32();
        g.constants[0] = c.U32();
        g.constants[1] = c.U32();
        if (!c.Words(512, g.ramps)) {
            error = path + ": damaged ramps";
            return false;
        }
        g.vertexCount = c.U32();
        if (g.vertexCount > kMostGroupVertices || !c.Words(size_t{g.vertexCount} * 6, g.vertices)) {
            error = path + ": damaged vertices";
            return false;
        }
        const uint32_t pairs = c.U32();
        if (pairs != 0 && pairs != g.vertexCount) {
            error = path + ": damaged coordinates";
            return false;
        }
        if (!c.Words(size_t{pairs} * 2, g.coordinates)) {
            error = path + ": damaged coordinates";
            return false;
        }
        g.run.triangles = c.U32();
        if (g.run.stride < 6 || g.run.firstFloat > g.run.stride || !c.Words(size_t{g.run.triangles} * 3, g.indices)) {
            error = path + ": damaged triangles";
            return false;
        }
        for (const uint32_t corner : g.indices) {
            if (corner >= g.vertexCount) {
                error = path + ": a corner past the group's vertices";
                return false;
            }
        }
    }
    if (c.Bad()) {
        error = path + ": truncated";
        return false;
    }
    // Our frame draws the see-through groups after every opaque one.
    std::stable_partition(m.groups.begin(), m.groups.end(), [](const MeshGroup& g) { return (g.drawFlags & 32) == 0; });
    frame.meshes = std::move(m);
    return true;
}

// ---- shaders

const char* kVertexShader = R"(#version 130
in vec4 position;
in vec4 colour0;
in vec4 colour1;
in vec2 uv0;
in vec2 uv1;
in vec2 uv2;
in vec2 uv3;
out vec4 c0;
out vec4 c1;
flat out float a0;
out vec2 t0;
out vec2 t1;
out vec2 t2;
out vec2 t3;
void main()
{
    gl_Position = position;
    c0 = colour0;
    c1 = colour1;
    a0 = colour0.a;
    t0 = uv0;
    t1 = uv1;
    t2 = uv2;
    t3 = uv3;
}
)";

// The frame level: our vertex stage. Position through our combined matrix and the one fixed map of our clip space
// to GL's; c = N . L, its index into the angle table (clamped, truncated), the table's high byte choosing the entry of
// both shade ramps; the highlight pair (folded beyond the silhouette) and the reflection pair, each sent to the layer
// whose coordinate word it fills.
const char* kMeshVertexShader = R"(#version 130
in vec3 position;
in vec3 normal;
in vec2 uv;
uniform mat4 toClip;
uniform vec3 lightUnit;
uniform vec3 b1;
uniform vec3 b2;
uniform vec3 eye;
uniform vec3 viewX;
uniform vec3 viewY;
uniform vec2 highlight;
uniform int flags;
uniform int highlightOn;
uniform int colours;
uniform ivec4 pairOf;
uniform vec4 constant0;
uniform vec4 constant1;
uniform sampler2D angles;
uniform sampler2D ramps;
out vec4 c0;
out vec4 c1;
flat out float a0;
out vec2 t0;
out vec2 t1;
out vec2 t2;
out vec2 t3;
vec2 Pick(int source, vec2 h, vec2 r)
{
    return source == 1 ? h : source == 2 ? uv : source == 3 ? r : vec2(0.0);
}
void main()
{
    gl_Position = toClip * vec4(position, 1.0);
    float c = dot(normal, lightUnit);
    int index = c > 0.0 ? int(min(c * 16383.0, 16383.0)) : 0;
    int level = int(texelFetch(angles, ivec2(index % 128, index / 128), 0).r * 255.0 + 0.5);
    vec4 k0 = vec4(0.0);
    vec4 k1 = vec4(0.0);
    if ((flags & 4) != 0) {
        k0 = texelFetch(ramps, ivec2(level, 0), 0);
        k1 = texelFetch(ramps, ivec2(level, 1), 0);
    }
    if ((flags & 16) != 0) {
        k0 = constant0;
        k1 = constant1;
    }
    vec2 h = vec2(0.0);
    if (highlightOn != 0) {
        int lit = c >= 0.0 ? level : 0;
        k0 = texelFetch(ramps, ivec2(lit, 0), 0);
        k1 = texelFetch(ramps, ivec2(lit, 1), 0);
        float a = dot(normal, b2);
        float b = dot(normal, b1);
        float f = 1.0;
        if (c < 0.0) {
            float r = sqrt(a * a + b * b + 1e-9);
            f = (2.0 - r) / r;
        }
        h = vec2(f * a, f * b) * highlight.x + highlight.y;
    }
    vec3 d = position - eye;
    vec3 rv = d / sqrt(dot(d, d) + 1.1754944e-38) + normal;
    vec2 r = vec2(dot(rv, viewX), dot(rv, viewY)) * 0.375 + 0.5;
    c0 = colours > 0 ? k0 : vec4(0.0);
    c1 = colours > 1 ? k1 : vec4(0.0);
    a0 = c0.a;
    t0 = Pick(pairOf.x, h, r);
    t1 = Pick(pairOf.y, h, r);
    t2 = Pick(pairOf.z, h, r);
    t3 = Pick(pairOf.w, h, r);
}
)";

// Our byte arithmetic in floats on [0, 1] values that stay whole multiples of 1/255; sums saturate.
const char* kFragmentCommon = R"(
in vec4 c0;
in vec4 c1;
flat in float a0;
in vec2 t0;
in vec2 t1;
in vec2 t2;
in vec2 t3;
uniform sampler2D layer0;
uniform sampler2D layer1;
uniform sampler2D layer2;
uniform sampler2D layer3;
uniform sampler2D table0;
uniform sampler2D table1;
uniform sampler2D table2;
uniform sampler2D table3;
uniform vec4 size0;
uniform vec4 size1;
uniform vec4 size2;
uniform vec4 size3;
uniform vec3 centre0;
uniform vec3 centre1;
uniform vec3 centre2;
uniform vec3 centre3;
uniform vec3 k0;
// b x c / 256 on bytes, truncated as our stages truncate; the small bias keeps exact byte products whole.
vec3 mul(vec3 a, vec3 b) { return floor(a * b * (255.0 * 255.0 / 256.0) + 0.001) / 255.0; }
vec3 sat(vec3 a) { return min(a, vec3(1.0)); }
vec4 Falloff(sampler2D table, vec2 uv, vec4 size, vec3 centre)
{
    vec2 texel = uv * size.xy;
    if (texel.x < 0.0 || texel.y < 0.0 || texel.x >= size.x - 1.0 || texel.y >= size.y - 1.0)
        return vec4(0.0);
    vec2 d = (texel - vec2(15.0)) * 1024.0;
    float q = d.x * d.x + d.y * d.y + 1048576.0;
    if (q >= 268402690.0)
        return vec4(0.0);
    float f = texelFetch(table, ivec2(int(q / 524288.0), 0), 0).r * 255.0;
    return vec4(floor(centre * 255.0 * f / 256.0) / 255.0, 0.0);
}
vec4 Sample(sampler2D image, sampler2D table, vec2 uv, vec4 size, vec3 centre, int mode)
{
    if (mode == 1)
        return texture(image, uv + 0.5 * size.zw);
    if (mode >= 2)
        return Falloff(table, uv, size, centre);
    // Our fixed-point weights are truncated, so a coordinate exactly on a texel edge lands a hair before it, in
    // the texel to the left or above; GL's rounds the other way there.
    return texture(image, uv - size.zw / 1024.0);
}
)";

std::string FragmentSource(uint32_t pipeline, const int filters[4], uint8_t blendMode, uint8_t combineMode,
                           int alphaLayer)
{
    std::string s = "#version 130\n";
    s += kFragmentCommon;
    s += "void main()\n{\n";
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        s += "    vec4 r" + std::to_string(8 + i) + " = Sample(layer" + n + ", table" + n + ", t" + n + ", size" + n +
             ", centre" + n + ", " + std::to_string(filters[i]) + ");\n";
    }
    // Our Gouraud stage keeps the integer part of each interpolated channel.
    s += "    vec3 c = floor(c0.rgb * 255.0 + 0.001) / 255.0, d = floor(c1.rgb * 255.0 + 0.001) / 255.0, r1;\n";
    s += "    vec3 r0;\n";
    switch (pipeline) {
    case 24:
        s += "    r0 = sat(c + d);\n";
        break;
    case 25:
        s += "    r0 = sat(mul(r8.rgb, c) + d);\n";
        break;
    case 26:
        s += "    r1 = sat(mul(r8.rgb, k0) + c);\n    r0 = sat(r1 + d);\n";
        break;
    case 27:
        s += "    r1 = sat(mul(r8.rgb, c) + d);\n    r0 = sat(mul(r9.rgb, k0) + r1);\n";
        break;
    case 32:
        s += "    r1 = sat(c + d);\n    r0 = sat(r8.rgb + r1);\n";
        break;
    case 33:
        s += "    r1 = sat(mul(c, r9.rgb) + r8.rgb);\n    r0 = sat(r1 + d);\n";
        break;
    case 34:
        s += "    r1 = sat(c + d);\n    r1 = sat(mul(r9.rgb, k0) + r1);\n    r0 = sat(r1 + r8.rgb);\n";
        break;
    case 35:
        s += "    r1 = sat(mul(r9.rgb, c) + d);\n    r1 = sat(mul(r10.rgb, k0) + r1);\n    r0 = sat(r1 + r8.rgb);\n";
        break;
    default:
        s += "    r0 = vec3(1.0, 0.0, 1.0);\n";
        break; // a pipeline the peer does not draw shows as magenta
    }
    // Blend alphas as our final stages take them: A is colour 0's (vertex 0's, as our plain Gouraud keeps it) or
    // colour 1's in combine mode 5, T the first modulated layer's texel.
    const std::string a = combineMode == 5 ? "c1.a" : "a0";
    const std::string t = "r" + std::to_string(8 + alphaLayer) + ".a";
    const std::string alpha = blendMode == 1 ? a : blendMode == 2 ? t : blendMode == 3 ? a + " * " + t : "1.0";
    s += "    gl_FragColor = vec4(r0, " + alpha + ");\n}\n";
    return s;
}

GLuint Compile(GLenum kind, const std::string& source)
{
    const GLuint shader = glCreateShader(kind);
    const char* text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "shader: %s\n", log);
        g_shaderFailed = true;
    }
    return shader;
}

GLuint Link(const std::string& fragment, bool frameLevel = false)
{
    const GLuint program = glCreateProgram();
    glAttachShader(program, Compile(GL_VERTEX_SHADER, frameLevel ? kMeshVertexShader : kVertexShader));
    glAttachShader(program, Compile(GL_FRAGMENT_SHADER, fragment));
    const char* names[] = {"position", "colour0", "colour1", "uv0", "uv1", "uv2", "uv3"};
    const char* meshNames[] = {"position", "normal", "uv"};
    if (frameLevel)
        for (GLuint i = 0; i < 3; ++i)
            glBindAttribLocation(program, i, meshNames[i]);
    else
        for (GLuint i = 0; i < 7; ++i)
            glBindAttribLocation(program, i, names[i]);
    glLinkProgram(program);
    GLint ok = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        char log[2048];
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "program: %s\n", log);
        g_shaderFailed = true;
    }
    return program;
}

// ---- set-up, outside the timed window

constexpr int kVertexFloats = 4 + 2 + 8; // clip position, two packed colours (as floats holding bits), 4 uv pairs

float WordFloat(uint32_t word)
{
    float f;
    std::memcpy(&f, &word, 4);
    return f;
}

// The filter of a layer as our texture stage takes it: flags & 3 picks nearest (0), filtered (1) or falloff (2, 3).
int FilterOf(const Layer& layer)
{
    return layer.flags & 3;
}

// The layer whose alpha our texture-alpha blend reads: the first without the additive bit, after the mode's fixed
// layers.
int AlphaLayer(const Run& run)
{
    int first = 0;
    for (int i = 0; i < kStages; ++i) {
        if ((run.layers[i].flags & 8) == 0) {
            first = i;
            break;
        }
    }
    const int fixed = run.combineMode == 4 ? 1 : run.combineMode == 5 ? 2 : 0;
    return std::min(first + fixed, 3);
}

void UploadTexture(Texture& t)
{
    const auto make = [&](GLint filter) {
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(t.width), static_cast<GLsizei>(t.height), 0,
                     GL_BGRA, GL_UNSIGNED_BYTE, t.pixels.data());
        return name;
    };
    t.nearest = make(GL_NEAREST);
    t.linear = make(GL_LINEAR);
    if (!t.falloff.empty()) {
        std::vector<uint8_t> table(512, 0);
        std::copy_n(t.falloff.begin(), std::min<size_t>(512, t.falloff.size()), table.begin());
        glGenTextures(1, &t.table);
        glBindTexture(GL_TEXTURE_2D, t.table);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, 512, 1, 0, GL_RED, GL_UNSIGNED_BYTE, table.data());
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    }
}

// Each vertex as GL takes it: (x w, y w, z w, w) with w = 1 / our w term, so that GL's perspective-correct
// interpolation divides by our 1/w; z falls as our depth term rises, so nearer is smaller and GL_LESS hides equal
// depths as ours does.
void UploadRun(Run& run, const Frame& frame, float mostWTerm)
{
    std::vector<uint32_t> data; // floats and packed colours, as their bits
    data.reserve(size_t{run.triangles} * 3 * kVertexFloats);
    const auto put = [&data](float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        data.push_back(bits);
    };
    for (size_t v = 0; v < size_t{run.triangles} * 3; ++v) {
        const uint32_t* w = run.words.data() + v * run.stride;
        const float x = WordFloat(w[0]), y = WordFloat(w[1]), term = std::max(WordFloat(w[3]), 1e-20f);
        const float clipW = 1.0f / term;
        const float nx = 2.0f * x / static_cast<float>(frame.width) - 1.0f;
        const float ny = 1.0f - 2.0f * y / static_cast<float>(frame.height);
        const float nz = 1.0f - 2.0f * term / mostWTerm;
        for (const float f : {nx * clipW, ny * clipW, nz * clipW, clipW})
            put(f);
        for (int colour = 0; colour < 2; ++colour)
            data.push_back(colour < run.colours && 4u + colour < run.stride ? w[4 + colour] : 0u);
        for (int layer = 0; layer < 4; ++layer) {
            const size_t word = run.firstFloat + 2u * static_cast<uint8_t>(std::max<int8_t>(run.layers[layer].set, 0));
            data.push_back(word + 1 < run.stride ? w[word] : 0u);
            data.push_back(word + 1 < run.stride ? w[word + 1] : 0u);
        }
    }
    glGenBuffers(1, &run.buffer);
    glBindBuffer(GL_ARRAY_BUFFER, run.buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * 4), data.data(), GL_STATIC_DRAW);
}

struct Programs {
    std::map<std::string, GLuint> byKey;
    GLuint background = 0;
};

GLuint ProgramFor(Programs& programs, const Run& run, bool frameLevel = false)
{
    int filters[4];
    for (int i = 0; i < 4; ++i)
        filters[i] = FilterOf(run.layers[i]);
    const std::string source = FragmentSource(run.pipeline, filters, run.blendMode, run.combineMode, AlphaLayer(run));
    auto [it, added] = programs.byKey.emplace((frameLevel ? "frame\n" : "") + source, 0);
    if (added)
        it->second = Link(source, frameLevel);
    return it->second;
}

void UploadGroup(MeshGroup& g)
{
    std::vector<uint32_t> data;
    data.reserve(size_t{g.vertexCount} * 8);
    for (size_t v = 0; v < g.vertexCount; ++v) {
        data.insert(data.end(), g.vertices.begin() + static_cast<ptrdiff_t>(v * 6),
                    g.vertices.begin() + static_cast<ptrdiff_t>(v * 6 + 6));
        data.push_back(g.coordinates.empty() ? 0u : g.coordinates[v * 2]);
        data.push_back(g.coordinates.empty() ? 0u : g.coordinates[v * 2 + 1]);
    }
    glGenBuffers(1, &g.buffer);
    glBindBuffer(GL_ARRAY_BUFFER, g.buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(data.size() * 4), data.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &g.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(g.indices.size() * 4), g.indices.data(),
                 GL_STATIC_DRAW);
    glGenTextures(1, &g.rampTexture);
    glBindTexture(GL_TEXTURE_2D, g.rampTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 2, 0, GL_BGRA, GL_UNSIGNED_BYTE, g.ramps.data());
}

void PrepareMeshes(Frame& frame, Programs& programs)
{
    MeshFrame& m = *frame.meshes;
    glGenTextures(1, &m.angleTexture);
    glBindTexture(GL_TEXTURE_2D, m.angleTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R8, 128, 128, 0, GL_RED, GL_UNSIGNED_BYTE, m.angles.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    for (MeshGroup& g : m.groups) {
        UploadGroup(g);
        g.run.program = ProgramFor(programs, g.run, true);
    }
}

void Prepare(Frame& frame, Programs& programs)
{
    for (Texture& t : frame.textures)
        UploadTexture(t);
    if (frame.meshes)
        PrepareMeshes(frame, programs);
    glGenTextures(1, &frame.backgroundTexture);
    glBindTexture(GL_TEXTURE_2D, frame.backgroundTexture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(frame.width), static_cast<GLsizei>(frame.height), 0,
                 GL_BGRA, GL_UNSIGNED_BYTE, frame.background.data());
    float mostWTerm = 1e-20f;
    for (const Run& run : frame.runs)
        for (size_t v = 0; v < size_t{run.triangles} * 3; ++v)
            mostWTerm = std::max(mostWTerm, WordFloat(run.words[v * run.stride + 3]));
    mostWTerm *= 1.0001f;
    for (Run& run : frame.runs) {
        UploadRun(run, frame, mostWTerm);
        run.program = ProgramFor(programs, run);
    }
}

// ---- drawing, inside the timed window

void BindLayers(const Frame& frame, const Run& run)
{
    const GLuint program = run.program;
    glUseProgram(program);
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        const Layer& layer = run.layers[i];
        const Texture* t = layer.texture >= 0 && i < run.layerCount ? &frame.textures[layer.texture] : nullptr;
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, t == nullptr ? 0 : FilterOf(layer) == 1 ? t->linear : t->nearest);
        glActiveTexture(GL_TEXTURE4 + i);
        glBindTexture(GL_TEXTURE_2D, t == nullptr ? 0 : t->table);
        glUniform1i(glGetUniformLocation(program, ("layer" + n).c_str()), i);
        glUniform1i(glGetUniformLocation(program, ("table" + n).c_str()), 4 + i);
        const float w = t != nullptr ? static_cast<float>(t->width) : 1.0f;
        const float h = t != nullptr ? static_cast<float>(t->height) : 1.0f;
        glUniform4f(glGetUniformLocation(program, ("size" + n).c_str()), w, h, 1.0f / w, 1.0f / h);
        uint32_t centre = 0;
        if (t != nullptr && t->width >= 16 && t->height >= 16)
            centre = t->pixels[size_t{t->height / 2 - 1} * t->width + t->width / 2 - 1];
        glUniform3f(glGetUniformLocation(program, ("centre" + n).c_str()), (centre >> 16 & 255) / 255.0f,
                    (centre >> 8 & 255) / 255.0f, (centre & 255) / 255.0f);
    }
    const uint32_t k = run.layers[0].constant;
    glUniform3f(glGetUniformLocation(program, "k0"), (k >> 16 & 255) / 255.0f, (k >> 8 & 255) / 255.0f,
                (k & 255) / 255.0f);
}

// The background first: a screen-aligned quad, each pixel its own texel.
void DrawBackground(const Frame& frame, const Programs& programs)
{
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glUseProgram(programs.background);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, frame.backgroundTexture);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    static const float quad[] = {-1, -1, 0, 1, 1, -1, 0, 1, -1, 1, 0, 1, 1, 1, 0, 1};
    static const float quadUv[] = {0, 1, 1, 1, 0, 0, 1, 0};
    for (GLuint a = 1; a < 7; ++a)
        glDisableVertexAttribArray(a);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(3);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 0, quad);
    glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, 0, quadUv);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

// The depth, blend and texture state one run draws with.
void ApplyRunState(const Frame& frame, const Run& run)
{
    if (run.depthTest)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    glDepthMask(run.depthWrite ? GL_TRUE : GL_FALSE);
    if (run.blendMode != 0)
        glEnable(GL_BLEND);
    else
        glDisable(GL_BLEND);
    BindLayers(frame, run);
}

void DrawRuns(const Frame& frame)
{
    for (GLuint a = 0; a < 7; ++a)
        glEnableVertexAttribArray(a);
    for (const Run& run : frame.runs) {
        if (run.triangles == 0)
            continue;
        ApplyRunState(frame, run);
        glBindBuffer(GL_ARRAY_BUFFER, run.buffer);
        constexpr GLsizei stride = kVertexFloats * sizeof(float);
        const auto at = [](int floats) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(floats * 4)); };
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, at(0));
        // Our packed colours are 0xAARRGGBB words, bytes B, G, R, A in memory: given as BGRA, GL swaps them back.
        glVertexAttribPointer(1, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(4));
        glVertexAttribPointer(2, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(5));
        for (GLuint layer = 0; layer < 4; ++layer)
            glVertexAttribPointer(3 + layer, 2, GL_FLOAT, GL_FALSE, stride, at(6 + 2 * static_cast<int>(layer)));
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(run.triangles * 3));
    }
    glDepthMask(GL_TRUE);
}

// Our clip space (x and y within plus and minus z, the eye looking down -z, z from the near value to -1) to GL's:
// W = -z, x and y through our viewport to the pixel they land on, and a depth that grows with W from -1 at the near
// plane to 1 at our far one, so GL clips where our clipper does and GL_LESS keeps the nearer.
void ClipMatrix(const MeshFrame& m, const MeshGroup& g, uint32_t width, uint32_t height, float out[16])
{
    const double w = width, h = height, n = m.nearValue;
    const double b = 2.0 * n / (1.0 - n), a = 1.0 + b;
    const double fixed[4][4] = {{-2.0 * m.xScale / w, 0.0, -(2.0 * m.xOffset / w - 1.0), 0.0},
                                {0.0, 2.0 * m.yScale / h, -(1.0 - 2.0 * m.yOffset / h), 0.0},
                                {0.0, 0.0, -a, -b},
                                {0.0, 0.0, -1.0, 0.0}};
    double ours[4][4] = {};
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 4; ++col)
            ours[r][col] = g.combined[r * 4 + col];
    ours[3][3] = 1.0;
    for (int r = 0; r < 4; ++r)
        for (int col = 0; col < 4; ++col) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k)
                sum += fixed[r][k] * ours[k][col];
            out[r * 4 + col] = static_cast<float>(sum);
        }
}

// Which pair each layer's coordinate word holds: 1 highlight, 2 texture, 3 reflection, 0 none.
int PairOf(const MeshGroup& g, int layer)
{
    const int word = g.run.firstFloat + 2 * std::max<int>(g.run.layers[layer].set, 0);
    if (word + 1 >= g.run.stride)
        return 0;
    return word == g.highlightWord ? 1 : word == g.textureWord ? 2 : word == g.reflectionWord ? 3 : 0;
}

void DrawGroups(const Frame& frame)
{
    const MeshFrame& m = *frame.meshes;
    for (GLuint a = 0; a < 7; ++a)
        glDisableVertexAttribArray(a);
    for (GLuint a = 0; a < 3; ++a)
        glEnableVertexAttribArray(a);
    // The corners go over in the order our rasteriser takes them, and our kept faces turn the same way in GL's
    // window (our viewport's negative x scale and GL's upward y each mirror once).
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CW);
    const auto colour = [](uint32_t c) {
        return std::array<float, 4>{(c >> 16 & 255) / 255.0f, (c >> 8 & 255) / 255.0f, (c & 255) / 255.0f,
                                    (c >> 24) / 255.0f};
    };
    for (const MeshGroup& g : m.groups) {
        if (g.run.triangles == 0)
            continue;
        const Run& run = g.run;
        ApplyRunState(frame, run);
        const GLuint p = run.program;
        glActiveTexture(GL_TEXTURE8);
        glBindTexture(GL_TEXTURE_2D, m.angleTexture);
        glActiveTexture(GL_TEXTURE9);
        glBindTexture(GL_TEXTURE_2D, g.rampTexture);
        glUniform1i(glGetUniformLocation(p, "angles"), 8);
        glUniform1i(glGetUniformLocation(p, "ramps"), 9);
        float toClip[16];
        ClipMatrix(m, g, frame.width, frame.height, toClip);
        glUniformMatrix4fv(glGetUniformLocation(p, "toClip"), 1, GL_TRUE, toClip);
        const char* vectorNames[] = {"lightUnit", "b1", "b2", "eye", "viewX", "viewY"};
        for (int i = 0; i < 6; ++i)
            glUniform3fv(glGetUniformLocation(p, vectorNames[i]), 1, g.vectors + 3 * i);
        glUniform2f(glGetUniformLocation(p, "highlight"), g.highlightScale, g.highlightOffset);
        glUniform1i(glGetUniformLocation(p, "flags"), static_cast<GLint>(g.drawFlags));
        glUniform1i(glGetUniformLocation(p, "highlightOn"), g.highlightWord >= 0 ? 1 : 0);
        glUniform1i(glGetUniformLocation(p, "colours"), run.colours);
        glUniform4i(glGetUniformLocation(p, "pairOf"), PairOf(g, 0), PairOf(g, 1), PairOf(g, 2), PairOf(g, 3));
        glUniform4fv(glGetUniformLocation(p, "constant0"), 1, colour(g.constants[0]).data());
        glUniform4fv(glGetUniformLocation(p, "constant1"), 1, colour(g.constants[1]).data());
        glBindBuffer(GL_ARRAY_BUFFER, g.buffer);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.indexBuffer);
        constexpr GLsizei stride = 8 * sizeof(float);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, stride, nullptr);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(uintptr_t{12}));
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(uintptr_t{24}));
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(run.triangles * 3), GL_UNSIGNED_INT, nullptr);
    }
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
}

void DrawFrame(const Frame& frame, const Programs& programs, bool background)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (background)
        DrawBackground(frame, programs);
    if (frame.meshes)
        DrawGroups(frame);
    else
        DrawRuns(frame);
    glFinish();
}

double MsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

bool WritePicture(const std::string& path, const std::vector<uint32_t>& bgraBottomUp, uint32_t width, uint32_t height)
{
    std::vector<uint32_t> rows(bgraBottomUp.size());
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x)
            rows[size_t{y} * width + x] = bgraBottomUp[size_t{height - 1 - y} * width + x] & 0x00FFFFFFu;
    const std::string temp = path + ".part";
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(rows.data()), static_cast<std::streamsize>(rows.size() * 4));
    out.close();
    if (!out)
        return false;
    std::error_code error;
    std::filesystem::rename(temp, path, error);
    return !error;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: vortan-gl-peer DIR [--warmup N] [--timed N] [--pictures OUTDIR] [--background 0|1] "
                     "[--level raster|frame]\n");
        return 3;
    }
    const std::string directory = argv[1];
    long warmup = 20, timed = 200;
    bool background = true;
    bool frameLevel = false;
    std::string pictures;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--warmup")
            warmup = std::clamp(std::strtol(argv[i + 1], nullptr, 10), 0L, 100000L);
        else if (flag == "--timed")
            timed = std::clamp(std::strtol(argv[i + 1], nullptr, 10), 1L, 100000L);
        else if (flag == "--background")
            background = std::string(argv[i + 1]) != "0";
        else if (flag == "--pictures")
            pictures = argv[i + 1];
        else if (flag == "--level" && (std::string(argv[i + 1]) == "raster" || std::string(argv[i + 1]) == "frame"))
            frameLevel = std::string(argv[i + 1]) == "frame";
        else {
            std::fprintf(stderr, "unknown option %s\n", flag.c_str());
            return 3;
        }
    }
    std::vector<std::string> paths;
    std::error_code listError;
    for (const auto& entry : std::filesystem::directory_iterator(directory, listError))
        if (entry.path().filename().string().rfind("frame-", 0) == 0)
            paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    if (paths.empty()) {
        std::fprintf(stderr, "no dumped frames in %s\n", directory.c_str());
        return 3;
    }
    std::vector<Frame> frames;
    for (const std::string& path : paths) {
        std::string error;
        std::optional<Frame> frame = ReadFrame(path, error);
        if (!frame) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 3;
        }
        if (frameLevel) {
            std::string meshPath = path;
            meshPath.replace(meshPath.rfind("frame-"), 6, "mesh-");
            if (!ReadMeshes(meshPath, *frame, error)) {
                std::fprintf(stderr, "%s\n", error.c_str());
                return 3;
            }
        }
        if (!frames.empty() && (frame->width != frames[0].width || frame->height != frames[0].height)) {
            std::fprintf(stderr, "%s: another size than the first frame\n", path.c_str());
            return 3;
        }
        frames.push_back(std::move(*frame));
    }
    const uint32_t width = frames[0].width, height = frames[0].height;
    const int attributes[] = {OSMESA_FORMAT,
                              OSMESA_BGRA,
                              OSMESA_DEPTH_BITS,
                              24,
                              OSMESA_STENCIL_BITS,
                              0,
                              OSMESA_ACCUM_BITS,
                              0,
                              OSMESA_PROFILE,
                              OSMESA_COMPAT_PROFILE,
                              OSMESA_CONTEXT_MAJOR_VERSION,
                              3,
                              OSMESA_CONTEXT_MINOR_VERSION,
                              0,
                              0};
    OSMesaContext context = OSMesaCreateContextAttribs(attributes, nullptr);
    if (context == nullptr) {
        std::fprintf(stderr, "OSMesa gave no context\n");
        return 1;
    }
    std::vector<uint32_t> target(size_t{width} * height);
    if (!OSMesaMakeCurrent(context, target.data(), GL_UNSIGNED_BYTE, static_cast<GLsizei>(width),
                           static_cast<GLsizei>(height))) {
        std::fprintf(stderr, "OSMesa could not bind the frame\n");
        OSMesaDestroyContext(context);
        return 1;
    }
    std::printf("renderer=%s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    glViewport(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height));
    glDepthFunc(GL_LESS);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_CULL_FACE);
    glDisable(GL_DITHER);
    glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    Programs programs;
    programs.background = Link("#version 130\nin vec2 t0;\nuniform sampler2D layer0;\n"
                               "void main() { gl_FragColor = texture(layer0, t0); }\n");
    glUseProgram(programs.background);
    glUniform1i(glGetUniformLocation(programs.background, "layer0"), 0);
    GLuint vertexArray = 0;
    glGenVertexArrays(1, &vertexArray);
    glBindVertexArray(vertexArray);
    for (Frame& frame : frames)
        Prepare(frame, programs);
    if (g_shaderFailed) {
        OSMesaDestroyContext(context);
        return 1;
    }

    if (!pictures.empty()) {
        for (const Frame& frame : frames) {
            DrawFrame(frame, programs, background);
            std::vector<uint32_t> read(size_t{width} * height);
            glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_BGRA, GL_UNSIGNED_BYTE,
                         read.data());
            char name[32];
            std::snprintf(name, sizeof name, "/peer-%04u.raw", frame.index);
            if (!WritePicture(pictures + name, read, width, height)) {
                std::fprintf(stderr, "cannot write %s%s\n", pictures.c_str(), name);
                return 1;
            }
        }
    }
    for (long i = 0; i < warmup; ++i)
        DrawFrame(frames[static_cast<size_t>(i) % frames.size()], programs, background);
    std::vector<double> drawMs, readMs;
    std::vector<uint32_t> read(size_t{width} * height);
    for (long i = 0; i < timed; ++i) {
        const auto start = std::chrono::steady_clock::now();
        DrawFrame(frames[static_cast<size_t>(i) % frames.size()], programs, background);
        drawMs.push_back(MsSince(start));
        glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_BGRA, GL_UNSIGNED_BYTE,
                     read.data());
        readMs.push_back(MsSince(start));
    }
    double drawSum = 0, readSum = 0;
    for (size_t i = 0; i < drawMs.size(); ++i) {
        drawSum += drawMs[i];
        readSum += readMs[i];
    }
    std::printf("frames=%zu timed=%ld ms-per-frame=%.4f ms-per-frame-readback=%.4f\n", frames.size(), timed,
                drawSum / static_cast<double>(timed), readSum / static_cast<double>(timed));
    glDeleteVertexArrays(1, &vertexArray);
    OSMesaDestroyContext(context);
    return 0;
}
