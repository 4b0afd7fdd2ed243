#include "render/software/span_stage.h"

SWspanstage::SpanRoutine SWspanstage::GetRoutines(const Binding& binding, SetupRoutine& outSetup)
{
    m_binding = binding;
    outSetup = nullptr;
    return SelectRoutines(outSetup);
}
