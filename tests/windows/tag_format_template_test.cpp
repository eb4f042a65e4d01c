// The dialog template that windres put into plclink.dll against the control
// table the dialog code and the Linux control model work from: the same
// caption, size, font, styles and controls, in the same order.
#include <string>

#include <gtest/gtest.h>

#include "dialog/tag_format_template.h"
#include "dialog_template.h"
#include "resource_bytes.h"

namespace plclink {
namespace {

TEST(TagFormatTemplate, ResourceOfTheModuleMatchesTheControlTable) {
    const std::vector<unsigned char> bytes =
        testing::ResourceBytes("plclink.dll", testing::kDialogResourceType, kTagFormatTemplateId);
    ASSERT_FALSE(bytes.empty()) << "dialog resource 101 in plclink.dll";
    testing::DialogTemplate got;
    ASSERT_TRUE(testing::ReadDialogTemplate(bytes.data(), bytes.size(), &got));

    const DialogTemplate& want = kTagFormatTemplate;
    EXPECT_TRUE(got.extended);
    EXPECT_EQ(got.caption, want.caption);
    EXPECT_EQ(got.x, 0);
    EXPECT_EQ(got.y, 0);
    EXPECT_EQ(got.cx, want.cx);
    EXPECT_EQ(got.cy, want.cy);
    EXPECT_EQ(got.style, want.style);
    EXPECT_EQ(got.exStyle, 0u);
    EXPECT_EQ(got.pointSize, want.fontPoints);
    EXPECT_EQ(got.typeface, want.fontName);
    EXPECT_EQ(got.menu, "");
    EXPECT_EQ(got.windowClass, "");

    ASSERT_EQ(got.controls.size(), want.controlCount);
    for (std::size_t i = 0; i < want.controlCount; ++i) {
        const testing::DialogControl& g = got.controls[i];
        const ControlTemplate& w = want.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + ", id " + std::to_string(w.id));
        EXPECT_EQ(g.id, w.id);
        EXPECT_EQ(g.className, w.className);
        EXPECT_EQ(g.text, w.text);
        EXPECT_EQ(g.x, w.x);
        EXPECT_EQ(g.y, w.y);
        EXPECT_EQ(g.cx, w.cx);
        EXPECT_EQ(g.cy, w.cy);
        EXPECT_EQ(g.style, w.style);
        EXPECT_EQ(g.exStyle, w.exStyle);
    }
}

}  // namespace
}  // namespace plclink
