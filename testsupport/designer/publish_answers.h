#pragma once
// File > Publish as the designer's tests answer it: one scheme picked for every mesh on the publish dialog's
// geometry page, and the wait dialog polled on the virtual clock until the worker has finished. Header only, as
// sample_designer.h is.
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include <gtest/gtest.h>

#include "designer/app/publish_dialogs.h"
#include "engine/resources/compression_scheme.h"
#include "platform/testing/user_sim.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/list_view.h"
#include "platform/ui/controls/tab_control.h"
#include "testsupport/designer/sample_designer.h"

namespace designertest {

// On the publish dialog: the geometry page shown, each of its rows selected and chosen picked in the scheme box.
// False where the page or a row could not be reached.
inline bool ChooseSchemeForEveryMesh(pf::UserSim& sim, pf::Dialog& publish, const SWcompressionscheme* chosen)
{
    if (!sim.selectTab(*publish.item<pf::TabControl>(kIdcPublishTabs), 3)) // geometry
        return false;
    auto* list = publish.item<pf::ListView>(kIdcPublishList);
    auto* combo = publish.item<pf::ComboBox>(kIdcPublishScheme);
    for (int32_t item = 0; item < list->getItemCount(); ++item) {
        if (!sim.selectListViewItem(*list, item))
            return false;
        for (int32_t i = 0; i < combo->getCount(); ++i)
            if (reinterpret_cast<const SWcompressionscheme*>(combo->getItemData(i)) == chosen &&
                !sim.chooseCombo(*combo, i))
                return false;
    }
    return true;
}

// The wait dialog of the next publish, answered by polling it on the virtual clock until the worker has finished,
// eachPoll between polls; it must end within kRenderThreadWait.
inline void WaitThroughThePublish(pf::UserSim& sim, std::function<void(CVTND_WaitDlg&)> eachPoll = {})
{
    sim.onModal(kIddPublishWait, [&sim, eachPoll](pf::Dialog& d) {
        auto& wait = static_cast<CVTND_WaitDlg&>(d);
        const auto end = std::chrono::steady_clock::now() + kRenderThreadWait;
        while (!d.hasEnded() && std::chrono::steady_clock::now() < end) {
            sim.advance(CVTND_WaitDlg::kPollMs);
            if (eachPoll && !d.hasEnded())
                eachPoll(wait);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(d.hasEnded()) << "the publish did not finish";
    });
}

} // namespace designertest
