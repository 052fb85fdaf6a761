// The state that frmMain's procedures share, apart from the widgets themselves.
//
// The window owns its data controls, the transfer state and the program-wide values for the
// whole run. The procedures of the transfer command, the importers, the settings and the data
// sources all work on one Form, and reach the widgets only through its MainWindowPort, so that
// the Qt window, the command-line program and the tests each supply their own window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/data_control.h"
#include "form/main_window_port.h"
#include "form/transfer_result.h"
#include "jet/value.h"

namespace form {

// Module GlobalVariables: values the whole program reads.
struct GlobalVariables {
    std::string ProgramFolder;       // folder of the program; holds Import.INI
    std::string CurrentCompanyCode;  // names the company's section of Import.INI
    std::string DataFolder;          // folder of the payroll database; holds ImportData.mdb
};

struct Form {
    explicit Form(MainWindowPort& port) : window(port) {}

    MainWindowPort& window;
    GlobalVariables globals;

    // Hidden data controls.
    data::DataControl adcDestination;
    data::DataControl adcStructure;
    data::DataControl adciEmployeeMaster;
    data::DataControl adciDataCalc;
    data::DataControl adciDataMasterDetail;
    data::DataControl adciDataVariantDetail;

    // Transfer state, kept between transfers.
    jet::DateTime dStartTime;
    int16_t iLineCount = 0;
    bool transferRunning = false;  // a second transfer never runs inside the first
    bool stopRequested = false;    // the running transfer ends after its current line

    // The last transfer's result, kept until the next one starts, and the column the current
    // line's importer is reading.
    TransferResult result;
    TransferCounts lineCounts;
    LayoutColumnNote currentColumn;
    // Each transfer appends its result to the transfer log in ProgramFolder; a dry run does not.
    bool keepTransferLog = true;
    // A check of the file: every line runs in its own savepoint and a failing one is noted
    // (result.failures) instead of ending the run; nothing is kept and nothing is asked.
    bool checkOnly = false;

    // The clock, replaceable by tests. Returns the current local date-time.
    std::function<jet::DateTime()> now;
};

}  // namespace form
