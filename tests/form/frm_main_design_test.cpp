// The design table both windows read: rows that the front ends could not build from.
#include "form/frm_main_design.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(FrmMainDesign, NamesAndTabStopsAreUniqueAndEveryControlFitsItsPlace) {
    std::set<std::string_view> names;
    std::set<int> tabStops;
    std::set<char> accessKeys;
    for (const form::ControlDesign& control : form::controls()) {
        SCOPED_TRACE(std::string(control.name));
        EXPECT_TRUE(names.insert(control.name).second);
        if (control.tabIndex > 0) {
            EXPECT_TRUE(tabStops.insert(control.tabIndex).second);
        }
        if (control.accessKey != 0) {
            EXPECT_TRUE(accessKeys.insert(control.accessKey).second);
        }
        EXPECT_GE(control.tab, -1);
        EXPECT_LT(control.tab, static_cast<int>(form::tabCaptions().size()));
        EXPECT_GT(control.width, 0);
        EXPECT_GT(control.height, 0);
        if (control.tab >= 0) {
            // Inside the tab control, below its three rows of headers.
            EXPECT_LE(control.left + control.width, form::kTabWidth);
            EXPECT_LE(control.top + control.height, form::kTabHeight);
        } else {
            EXPECT_LE(control.left + control.width, form::kWindowWidth);
            EXPECT_LE(control.top + control.height, form::kWindowHeight);
        }
    }
    EXPECT_EQ(form::findControl("txtDir_1")->kind, form::ControlKind::PathBox);
    EXPECT_EQ(form::findControl("nothing"), nullptr);
}

TEST(FrmMainDesign, EveryGridHasColumnsAndATableAndEveryColumnAGrid) {
    std::set<std::string_view> grids;
    for (const form::ControlDesign& control : form::controls()) {
        if (control.kind == form::ControlKind::Grid) grids.insert(control.name);
    }
    std::set<std::string_view> withColumns;
    for (const form::GridColumnDesign& column : form::gridColumns()) {
        EXPECT_TRUE(grids.count(column.grid)) << column.grid;
        withColumns.insert(column.grid);
    }
    std::set<std::string_view> withTables;
    for (const form::GridSourceDesign& source : form::gridSources()) {
        EXPECT_TRUE(withTables.insert(source.grid).second) << source.grid;
    }
    EXPECT_EQ(withColumns, grids);
    EXPECT_EQ(withTables, grids);
}

TEST(FrmMainDesign, TwipsRoundToTheNearestPixelHalvesUp) {
    EXPECT_EQ(form::twipsToPixels(0), 0);
    EXPECT_EQ(form::twipsToPixels(7), 0);
    EXPECT_EQ(form::twipsToPixels(8), 1);  // 7.5 twips and more: one pixel
    EXPECT_EQ(form::twipsToPixels(10875), 725);
    EXPECT_EQ(form::twipsToPixels(255), 17);
}

}  // namespace
