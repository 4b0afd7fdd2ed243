#include "apps/vortan-trace/gen_command.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "apps/vortan-trace/scenario_table.h"
#include "engine/behaviour/generator.h"
#include "engine/core/world.h"
#include "testsupport/behaviour/demo_scene.h"

namespace {

// A finite number a float holds: from_chars takes "nan" and "inf", which the casts below may not be given.
bool ReadNumber(std::string_view text, double& out)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(out) &&
           std::abs(out) <= std::numeric_limits<float>::max();
}

int Refuse(const std::string& message)
{
    std::fprintf(stderr, "vortan-trace gen: %s\n", message.c_str());
    return kTraceUsage;
}

std::unique_ptr<SWgenerator> Make(std::string_view kind, SWworld& world)
{
    static const struct {
        const char* name;
        uint8_t shape;
    } kWaves[] = {{"sine", SWgenerator::kSine},
                  {"square", SWgenerator::kSquare},
                  {"triangle", SWgenerator::kTriangle},
                  {"saw-up", SWgenerator::kSawtoothUp},
                  {"saw-down", SWgenerator::kSawtoothDown}};
    for (const auto& wave : kWaves)
        if (kind == wave.name) {
            auto w = std::make_unique<SWwaveformgenerator>(&world);
            w->SetShape(wave.shape);
            w->SetSustainAmplitude(1.0f);
            return w;
        }
    if (kind == "axis")
        return std::make_unique<SWaxistrack>(&world, 1.0f);
    if (kind == "polynomial") {
        auto p = std::make_unique<SWpolynomialgenerator>(&world);
        p->SetAmplitude(1.0f);
        return p;
    }
    if (kind == "random")
        return std::make_unique<SWrandomgenerator>(&world);
    if (kind == "property")
        return std::make_unique<SWpropertygenerator>(&world);
    return nullptr;
}

// One name=value setting; false when the name does not apply to this kind or the value is not a number.
bool Apply(SWgenerator& g, SWworld& world, std::string_view name, std::string_view text)
{
    if (name == "ref") {
        auto* p = dynamic_cast<SWpropertygenerator*>(&g);
        if (p != nullptr)
            p->SetPropertyName(std::string(text));
        return p != nullptr;
    }
    double value = 0.0;
    if (!ReadNumber(text, value))
        return false;
    const float v = static_cast<float>(value);
    if (name == "duration")
        g.SetDuration(v);
    else if (name == "delay")
        g.SetDelay(v);
    else if (name == "loop" && value >= std::numeric_limits<int32_t>::min() &&
             value <= std::numeric_limits<int32_t>::max())
        g.SetLoopCount(static_cast<int32_t>(value));
    else if (name == "loop")
        return false;
    else if (name == "forever")
        g.SetLoopForever(value != 0.0);
    else if (name == "pingpong")
        g.SetPingPong(value != 0.0);
    else if (name == "seed" && value >= 0.0 && value <= 4294967295.0)
        world.SeedRandom(static_cast<uint32_t>(value));
    else if (name == "seed")
        return false;
    else if (auto* a = dynamic_cast<SWaxistrack*>(&g); a != nullptr && name == "amount")
        a->SetAmount(v);
    else if (auto* p = dynamic_cast<SWpolynomialgenerator*>(&g)) {
        if (name == "amplitude")
            p->SetAmplitude(v);
        else if (name == "shape")
            p->SetShape(v);
        else if (name == "offset")
            p->SetOffset(v);
        else if (name == "invert")
            p->SetInvert(value != 0.0);
        else if (name == "mirror")
            p->SetMirror(value != 0.0);
        else
            return false;
    } else if (auto* w = dynamic_cast<SWwaveformgenerator*>(&g)) {
        if (name == "period")
            w->SetPeriod(v);
        else if (name == "end-period")
            w->SetEndPeriod(v);
        else if (name == "lock")
            w->SetLock(value != 0.0);
        else if (name == "phase")
            w->SetPhase(v);
        else if (name == "start-time")
            w->SetStartTime(v);
        else if (name == "sustain-time")
            w->SetSustainTime(v);
        else if (name == "decay-time")
            w->SetDecayTime(v);
        else if (name == "start-amp")
            w->SetStartAmplitude(v);
        else if (name == "sustain-amp")
            w->SetSustainAmplitude(v);
        else if (name == "decay-amp")
            w->SetDecayAmplitude(v);
        else if (name == "offset")
            w->SetOffset(v);
        else if (name == "scale")
            w->SetScale(v);
        else if (name == "absolute")
            w->SetAbsolute(value != 0.0);
        else if (name == "positive")
            w->SetPositive(value != 0.0);
        else if (name == "infinite")
            w->SetInfinite(value != 0.0);
        else
            return false;
    } else if (auto* r = dynamic_cast<SWrandomgenerator*>(&g)) {
        if (name == "min")
            r->SetMinimum(v);
        else if (name == "max")
            r->SetMaximum(v);
        else
            return false;
    } else if (auto* q = dynamic_cast<SWpropertygenerator*>(&g); q != nullptr && name == "relative") {
        q->SetRelative(value != 0.0);
    } else {
        return false;
    }
    return true;
}

} // namespace

int RunGenCommand(int argc, char** argv)
{
    if (argc < 1)
        return Refuse("needs a kind: sine, square, triangle, saw-up, saw-down, axis, polynomial, random, property");
    SWworld world;
    BuildDemoScene(world);
    std::unique_ptr<SWgenerator> g = Make(argv[0], world);
    if (g == nullptr)
        return Refuse(std::string("no generator kind \"") + argv[0] + "\"");
    long frames = 40;
    double dt = 33.0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--seed") {
            double value = 0.0;
            if (i + 1 >= argc || !ReadNumber(argv[i + 1], value) || value < 0.0 || value > 4294967295.0 ||
                value != std::floor(value))
                return Refuse("--seed takes a whole number from 0 to 4294967295");
            world.SeedRandom(static_cast<uint32_t>(value));
            ++i;
            continue;
        }
        if (arg == "--frames" || arg == "--dt") {
            double value = 0.0;
            if (i + 1 >= argc || !ReadNumber(argv[i + 1], value) || value < (arg == "--dt" ? 1.0 : 0.0) ||
                value > 1000000.0)
                return Refuse(std::string(arg) + " takes a number (--frames 0..1000000, --dt 1..1000000)");
            if (arg == "--dt")
                dt = value;
            else
                frames = static_cast<long>(value);
            ++i;
            continue;
        }
        const size_t equals = arg.find('=');
        if (equals == std::string_view::npos || !Apply(*g, world, arg.substr(0, equals), arg.substr(equals + 1)))
            return Refuse("cannot apply \"" + std::string(arg) + "\" to a " + argv[0] + " generator");
    }
    std::printf("gen %s duration=%.6g delay=%.6g range=%.6g..%.6g\n", argv[0], static_cast<double>(g->GetDuration()),
                static_cast<double>(g->GetDelay()), static_cast<double>(g->GetRangeMin()),
                static_cast<double>(g->GetRangeMax()));
    for (long i = 0; i <= frames; ++i) {
        const double t = static_cast<double>(i) * dt;
        g->Step(static_cast<float>(t));
        std::printf("t=%.1f value=%.6g delta=%.6g%s\n", t, static_cast<double>(g->GetValue()),
                    static_cast<double>(g->GetDelta()), g->IsDone() ? " done" : "");
        if (g->IsDone())
            break;
    }
    return kTraceDone;
}
