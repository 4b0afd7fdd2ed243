#include "platform/sys/system_info.h"

#include "platform/sys/cpu_probe.h"

namespace pf {

SystemInfo getSystemInfo()
{
    return {cpuProbe().processorType()};
}

} // namespace pf
