#include "platform/sys/fpu_control.h"

#if defined(__x86_64__) || defined(__i386__)
#include <fpu_control.h>
#define PF_HAS_X87 1
#endif

namespace pf {

uint16_t FpuControl::get() const
{
#ifdef PF_HAS_X87
    fpu_control_t word = 0;
    _FPU_GETCW(word);
    return static_cast<uint16_t>(word);
#else
    return kFpuDefaultControlWord;
#endif
}

void FpuControl::set(uint16_t word)
{
#ifdef PF_HAS_X87
    fpu_control_t value = word;
    _FPU_SETCW(value);
#else
    (void)word;
#endif
}

} // namespace pf
