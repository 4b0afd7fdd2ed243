#pragma once
// CVTND_DetailsHeaderDlg: the details editor of the world header (editor kind 24, one at a time): its three texts,
// written to the header and the project on Close, and statistics of the world's content refreshed every second
// (the texts are not, so typing is never overwritten). The extents are in the project's unit of length; with no
// mesh that has a box they are 0.
#include <cstdint>

#include "designer/workspace/modeless_editor.h"

struct CVTND_EditorRequest;

class CVTND_DetailsHeaderDlg : public CVTND_ModelessEditorDlg {
public:
    static constexpr int32_t kIdd = 518;
    static constexpr uint32_t kTimerId = 38;
    static constexpr uint32_t kPeriodMs = 1000;

    explicit CVTND_DetailsHeaderDlg(const CVTND_EditorRequest& request);

    void FillStatistics();

protected:
    bool onInitDialog() override;
    void Apply() override;
    void OnClosing() override;
    pf::LResult handle(const pf::Msg& msg) override;

private:
    uint32_t m_timer = 0;
};

float MetricsFactor(uint8_t metrics); // metres to the unit of the project's metrics setting
