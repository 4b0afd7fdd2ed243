#pragma once
// What the manipulate panel's nine fields show, against the pose of a node's rest matrix: the check of every change
// made to a node outside the panel.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include <gtest/gtest.h>

#include "designer/workspace/list_panels.h"
#include "designer/workspace/manipulate_dlg.h"
#include "engine/core/object_node.h"

namespace designertest {

inline void ExpectShowsPose(const CVTND_ManipulateDlg& panel, const SWobjectnode& node)
{
    const CVTND_Pose pose = PoseOf(node.GetInitialMatrix());
    for (int32_t i = 0; i < 9; ++i) {
        const float expected = (i < 3 ? pose.position : i < 6 ? pose.rotationDegrees : pose.scale)[i % 3];
        const std::string shown = panel.child(panel_ids::kFirstValueEdit + i)->getText();
        double value = 0.0;
        ASSERT_EQ(std::from_chars(shown.data(), shown.data() + shown.size(), value).ec, std::errc()) << shown;
        EXPECT_NEAR(value, expected, 1e-3 * std::max(1.0f, std::fabs(expected))) << "field " << i;
    }
}

} // namespace designertest
