#include "form/frm_main_design.h"

#include <array>

namespace form {

namespace {

using K = ControlKind;

constexpr uint32_t kButtonFace = 0xE0E0E0;
constexpr uint32_t kTransferFace = 0xC0FFC0;
constexpr std::string_view kTransferCaption = "เริ่มนำเข้า &OK";

constexpr std::array<std::string_view, 7> kTabCaptions = {
    "เลือกไฟล์",           "โอนประวัติพนักงาน", "Employee Xtend 1", "โอนข้อมูลเงินเดือน PM",
    "โอนข้อมูลเงินเดือน PD", "Data Calc",      "Data History"};

// name, kind, tab, left, top, width, height, caption, font, text colour, face colour, tab index,
// access key, tool tip, alignment. One control a row: rows are added at the end of their tab.
constexpr ControlDesign kControls[] = {
    {"lblVersion", K::Label, -1, 8400, 120, 660, 300, "", nullptr, 0x0000C0, kNoColour, 0, 0, "",
     Align::Left},
    {"lblProcessStatus", K::Label, -1, 150, 6000, 1380, 300, "", nullptr, 0x000080, kNoColour, 0, 0,
     "", Align::Left},
    {"lblRecordCount", K::Label, -1, 150, 6400, 1380, 300, "", nullptr, 0x0000C0, kNoColour, 0, 0,
     "", Align::Left},
    {"lblUseTime", K::Label, -1, 150, 6800, 1380, 300, "", nullptr, 0x0000FF, kNoColour, 0, 0, "",
     Align::Left},
    // Beside the tabs, where the design leaves room: notices, the transfer's progress and the
    // lasting result of the last transfer (the status labels clear when a transfer ends).
    {"lblNotice", K::Notice, -1, 8280, 480, 2475, 1080, "", nullptr, 0xA00000, kNoColour, 0, 0, "",
     Align::Left},
    {"prgTransfer", K::Progress, -1, 8280, 1620, 2475, 300, "", nullptr, kNoColour, kNoColour, 0, 0,
     "", Align::Left},
    {"resultPanel", K::ResultPanel, -1, 8280, 1980, 2475, 5140, "", nullptr, kNoColour, kNoColour,
     0, 0, "", Align::Left},
    {"cmdExit", K::Button, -1, 6100, 6720, 1700, 400, "ออก E&xit", &kFontTahoma12, kNoColour,
     kButtonFace, 90, 0, "", Align::Center},

    // Tab 0: the files.
    {"Label6", K::Label, 0, 200, 1125, 1095, 405, "รหัสบริษัท", &kFontSansSerif12, kNoColour,
     kNoColour, 0, 0, "", Align::Left},
    {"txtCompanyCode", K::TextBox, 0, 1290, 1080, 2415, 420, "", &kFontSansSerif12, kNoColour,
     kNoColour, 1, 0, "", Align::Left},
    {"lbl_0", K::Label, 0, 120, 1740, 5055, 375, "ไฟล์ *.txt ที่ต้องการอ่าน", &kFontTahoma12, kNoColour,
     kNoColour, 0, 0, "", Align::Left},
    {"txtDir_0", K::PathBox, 0, 120, 2100, 6255, 1185, "", &kFontTahoma12, kNoColour, kNoColour, 2,
     0, "", Align::Left},
    {"cmdSelectDir_0", K::FileButton, 0, 6420, 2100, 615, 525, "", &kFontTahoma12, kNoColour,
     kButtonFace, 3, 0, "เลือกไฟล์ส่งออก (Payroll)", Align::Center},
    {"Label1", K::Label, 0, 120, 3405, 3255, 255, "เครื่องหมายใช้คั่นข้อมูล  Seperate character", nullptr,
     kNoColour, kNoColour, 0, 0, "", Align::Left},
    {"txtDelimiter", K::TextBox, 0, 3300, 3300, 255, 420, ",", &kFontSansSerif12Bold, kNoColour,
     kNoColour, 4, 0, "", Align::Center},
    {"lbl_1", K::Label, 0, 120, 4020, 5055, 375, "ไฟล์ Melvar.mdb ที่ต้องการนำเข้า", &kFontTahoma12,
     kNoColour, kNoColour, 0, 0, "", Align::Left},
    {"txtDir_1", K::PathBox, 0, 120, 4380, 6255, 1185, "", &kFontTahoma12, kNoColour, kNoColour, 5,
     0, "", Align::Left},
    {"cmdSelectDir_1", K::FileButton, 0, 6420, 4380, 615, 525, "", &kFontTahoma12, kNoColour,
     kButtonFace, 6, 0, "เลือกไฟล์ปลายทาง (DozaZaziraziri)", Align::Center},
    {"cmdUndoTransfer", K::Button, 0, 4200, 3300, 2835, 420, kUndoTransferCaption, &kFontTahoma12,
     kNoColour, kButtonFace, 7, 0, "", Align::Center},
    {"cmdCompact", K::Button, 0, 4200, 1080, 2835, 420, "บีบอัดฐานข้อมูล &Compact", &kFontTahoma12,
     kNoColour, kButtonFace, 8, 0, "", Align::Center},

    // Tab 1: employee master.
    {"grdiEmployeeMaster", K::Grid, 1, 120, 1020, 7305, 3855, "", &kFontGrid, kNoColour, kNoColour,
     10, 0, "", Align::Left},
    {"lblBankCode", K::Label, 1, 120, 5055, 1695, 255, "รหัสธนาคาร (เช่น 002)", nullptr, kNoColour,
     kNoColour, 0, 0, "", Align::Left},
    {"txtBankCode", K::TextBox, 1, 2000, 4980, 495, 375, "", nullptr, kNoColour, kNoColour, 11, 'B',
     "Alt+B", Align::Left},
    {"cmdTransfer_0", K::Button, 1, 3120, 4980, 1700, 400, kTransferCaption, &kFontTahoma12,
     kNoColour, kTransferFace, 12, 0, "", Align::Center},
    {"cmdCheckFile_0", K::Button, 1, 4880, 4980, 1300, 400, kCheckFileCaption, &kFontTahoma12,
     kNoColour, kButtonFace, 13, 0, "", Align::Center},

    // Tab 3: fixed income details (PM); tab 4: variable income details (PD).
    {"DataGrid1", K::Grid, 3, 120, 1020, 7305, 3855, "", &kFontGrid, kNoColour, kNoColour, 20, 0,
     "", Align::Left},
    {"cmdTransfer_2", K::Button, 3, 5640, 4980, 1700, 400, kTransferCaption, &kFontTahoma12,
     kNoColour, kTransferFace, 21, 0, "", Align::Center},
    {"cmdCheckFile_2", K::Button, 3, 4280, 4980, 1300, 400, kCheckFileCaption, &kFontTahoma12,
     kNoColour, kButtonFace, 22, 0, "", Align::Center},
    {"DataGrid2", K::Grid, 4, 120, 1020, 7305, 3855, "", &kFontGrid, kNoColour, kNoColour, 30, 0,
     "", Align::Left},
    {"cmdTransfer_3", K::Button, 4, 5640, 4980, 1700, 400, kTransferCaption, &kFontTahoma12,
     kNoColour, kTransferFace, 31, 0, "", Align::Center},
    {"cmdCheckFile_3", K::Button, 4, 4280, 4980, 1300, 400, kCheckFileCaption, &kFontTahoma12,
     kNoColour, kButtonFace, 32, 0, "", Align::Center},

    // Tab 5: calculation data.
    {"grdiDataCalc", K::Grid, 5, 120, 1020, 7305, 3855, "", &kFontGrid, kNoColour, kNoColour, 40, 0,
     "", Align::Left},
    {"Label2", K::Label, 5, 240, 4980, 500, 375, "ปี ค.ศ.", nullptr, kNoColour, kNoColour, 0, 0, "",
     Align::Left},
    {"txtYear_0", K::TextBox, 5, 735, 4980, 500, 300, "2005", nullptr, kNoColour, kNoColour, 41,
     'Y', "Alt+Y", Align::Left},
    {"Label3", K::Label, 5, 1470, 4980, 495, 375, "งวดที่", nullptr, kNoColour, kNoColour, 0, 0, "",
     Align::Left},
    {"txtPeriod_0", K::TextBox, 5, 1965, 4980, 500, 300, "4", nullptr, kNoColour, kNoColour, 42,
     'P', "Alt+P", Align::Left},
    {"cmdTransfer_1", K::Button, 5, 5760, 4980, 1700, 400, kTransferCaption, &kFontTahoma12,
     kNoColour, kTransferFace, 43, 0, "", Align::Center},
    {"cmdCheckFile_1", K::Button, 5, 4400, 4980, 1300, 400, kCheckFileCaption, &kFontTahoma12,
     kNoColour, kButtonFace, 44, 0, "", Align::Center},
};

// The employee grid is narrower for its fifth column.
constexpr GridColumnDesign kGridColumns[] = {
    {"grdiEmployeeMaster", "No", "No", 495},
    {"grdiEmployeeMaster", "ชื่อข้อมูล", "FieldThaiName", 1500},
    {"grdiEmployeeMaster", "ชื่อฟิล์ด", "ToFieldName", 1500},
    {"grdiEmployeeMaster", "ข้อมูลตำแหน่งที่", "FieldNo", 1290},
    {"grdiEmployeeMaster", "รูปแบบ", "sFormat", 1515},
    {"DataGrid1", "No", "No", 570},
    {"DataGrid1", "ชื่อข้อมูล", "FieldThaiName", 2775},
    {"DataGrid1", "ชื่อฟิล์ด", "ToFieldName", 2280},
    {"DataGrid1", "ข้อมูลตำแหน่งที่", "FieldNo", 1290},
    {"DataGrid2", "No", "No", 570},
    {"DataGrid2", "ชื่อข้อมูล", "FieldThaiName", 2775},
    {"DataGrid2", "ชื่อฟิล์ด", "ToFieldName", 2280},
    {"DataGrid2", "ข้อมูลตำแหน่งที่", "FieldNo", 1290},
    {"grdiDataCalc", "No", "No", 570},
    {"grdiDataCalc", "ชื่อข้อมูล", "FieldThaiName", 2775},
    {"grdiDataCalc", "ชื่อฟิล์ด", "ToFieldName", 2280},
    {"grdiDataCalc", "ข้อมูลตำแหน่งที่", "FieldNo", 1290},
};

constexpr GridSourceDesign kGridSources[] = {
    {"grdiEmployeeMaster", "iEmployee Master", &Form::adciEmployeeMaster},
    {"grdiDataCalc", "iData Calc", &Form::adciDataCalc},
    {"DataGrid1", "iDataMasterDetail", &Form::adciDataMasterDetail},
    {"DataGrid2", "iDataVariantDetail", &Form::adciDataVariantDetail},
};

}  // namespace

std::span<const std::string_view> tabCaptions() {
    return kTabCaptions;
}

std::span<const ControlDesign> controls() {
    return kControls;
}

std::span<const GridColumnDesign> gridColumns() {
    return kGridColumns;
}

std::span<const GridSourceDesign> gridSources() {
    return kGridSources;
}

const ControlDesign* findControl(std::string_view name) {
    for (const ControlDesign& control : kControls) {
        if (control.name == name) return &control;
    }
    return nullptr;
}

}  // namespace form
