#pragma once
// CVTND_StaticLine: an etched separator, a shadow line over a highlight line, across the longer side.
#include "platform/ui/controls/control.h"

class CVTND_StaticLine : public pf::Control {
public:
    static constexpr const char* kClassName = "CVTND_StaticLine";

protected:
    pf::LResult handle(const pf::Msg& msg) override;

private:
    void Paint();
};
