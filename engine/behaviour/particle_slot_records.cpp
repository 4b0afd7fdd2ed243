// The codec of a particle node's generator slots: a slot's record ("PGSL": u8 slot, then the generator's outer
// record) holds one behaviour generator. Generators are read without a world, since their geometry may yet move
// into another world by a merge; the particle motion that steps them hands them its own.
#include <cstdint>
#include <memory>

#include "engine/behaviour/generator.h"
#include "engine/behaviour/particle_motion.h"
#include "engine/core/chunk_stream.h"
#include "engine/resources/particle_node.h"

namespace {

bool WriteSlot(const SWparametergenerator& generator, SWchunkstream& out)
{
    const auto* held = dynamic_cast<const SWparticlegenerator*>(&generator);
    return held != nullptr && held->Get() != nullptr && held->Get()->Save(out);
}

std::unique_ptr<SWparametergenerator> ReadSlot(SWchunkstream& in)
{
    std::unique_ptr<SWgenerator> generator = SWgenerator::Read(nullptr, in);
    if (generator == nullptr)
        return nullptr;
    return std::make_unique<SWparticlegenerator>(std::move(generator));
}

bool KnowsSlot(uint32_t tag)
{
    return SWgenerator::IsGeneratorTag(tag);
}

constexpr SWparametergeneratorcodec kCodec = {&WriteSlot, &ReadSlot, &KnowsSlot};

struct CodecInstaller {
    CodecInstaller() { SetParameterGeneratorCodec(&kCodec); }
};
const CodecInstaller kInstaller;

} // namespace
