// The design of frmMain: every control's place, size, caption, font, colours, access key and tab
// order, as one table that each window front end reads to build its controls. No toolkit here:
// positions are the design's twips, colours are 0xRRGGBB, fonts are a family and a size in points.
//
// Controls on a tab are placed relative to SSTab1's top-left corner (headers included), controls
// with no tab relative to the window's client area. A control of a control array is named with
// the array's name, an underscore and its index: txtDir(1) is "txtDir_1".
//
// Adding a control is adding a row to kControls (and, for a grid, its rows to kGridColumns); the
// front ends create every row they find.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "form/form.h"

namespace form {

// One twip is 1/1440 inch; the design is drawn at 15 twips per pixel (96 dots per inch).
inline constexpr int kTwipsPerPixel = 15;

// Twips to pixels at 96 dots per inch, to the nearest pixel, halves up.
constexpr int twipsToPixels(int twips) {
    return (twips * 2 + kTwipsPerPixel) / (2 * kTwipsPerPixel);
}

struct FontDesign {
    const char* family;
    double points;
    bool bold;
};

inline constexpr FontDesign kFontDefault{"MS Sans Serif", 8, false};  // the window's own
inline constexpr FontDesign kFontTahoma12{"Tahoma", 12, false};
inline constexpr FontDesign kFontSansSerif12{"MS Sans Serif", 12, false};
inline constexpr FontDesign kFontSansSerif12Bold{"MS Sans Serif", 12, true};
inline constexpr FontDesign kFontGrid{"MS Sans Serif", 9.75, false};

enum class ControlKind {
    Label,        // a caption
    TextBox,      // a one-line edit field
    PathBox,      // a multi-line edit field holding a path, wrapped
    Button,       // a push button with a caption
    FileButton,   // a push button showing the file picture
    Grid,         // an editable layout grid; its columns are in kGridColumns
    Notice,       // a wrapped label for notices that need no answer
    ResultPanel,  // read-only multi-line text: the last transfer's result
    Progress,     // a progress bar, hidden until a transfer runs
};

enum class Align { Left, Center };

inline constexpr uint32_t kNoColour = 0xFFFFFFFF;  // the system's colour

struct ControlDesign {
    std::string_view name;
    ControlKind kind;
    int tab;                       // -1: on the window itself
    int left, top, width, height;  // twips
    std::string_view caption;      // caption or initial text; '&' marks a caption's access key
    const FontDesign* font;        // nullptr: the window's default font
    uint32_t textColour;
    uint32_t faceColour;  // buttons
    int tabIndex;         // position in the tab order; 0: not reached by Tab
    char accessKey;  // Alt+key moves to this field (a field has no caption of its own); 0: none
    std::string_view toolTip;
    Align align;
};

// A column of a layout grid: the grid's name, its caption, the table's field and a width in twips.
struct GridColumnDesign {
    std::string_view grid;
    std::string_view caption;
    std::string_view field;
    int width;
};

// A layout grid's table in ImportData.mdb, and the form's data control that holds it.
struct GridSourceDesign {
    std::string_view grid;
    std::string_view table;
    data::DataControl Form::*control;
};

// Captions the logic also uses as the titles of its questions and answers.
inline constexpr std::string_view kUndoTransferCaption = "ยกเลิกการโอนครั้งล่าสุด";
inline constexpr std::string_view kCheckFileCaption = "ตรวจสอบไฟล์";

inline constexpr std::string_view kWindowName = "frmMain";
inline constexpr std::string_view kWindowTitle = "โอนข้อมูล *.txt เข้า VELTRA Payroll";
inline constexpr int kWindowWidth = 10875;  // twips, the whole window
inline constexpr int kWindowHeight = 7470;

// SSTab1: a multi-row tab control; three tabs to a row of headers 20 pixels high.
inline constexpr std::string_view kTabControlName = "SSTab1";
inline constexpr int kTabLeft = 120, kTabTop = 120, kTabWidth = 8055, kTabHeight = 5775;
inline constexpr int kTabsPerRow = 3;
inline constexpr int kTabRowHeightPixels = 20;
// At creation the employee-master tab is current; start-up selects the stored one.
inline constexpr int kInitialTab = 1;

std::span<const std::string_view> tabCaptions();
std::span<const ControlDesign> controls();
std::span<const GridColumnDesign> gridColumns();
std::span<const GridSourceDesign> gridSources();

// The row of the control named `name`, or nullptr.
const ControlDesign* findControl(std::string_view name);

}  // namespace form
