// The window's "ยกเลิกการโอนครั้งล่าสุด" (undo the last transfer) action, for every front end:
// whether to offer it, what to ask before and what to say after. The front end only shows the
// button, asks the question and shows the answer.
#pragma once

#include <string>

namespace app {

// Whether to enable the button: a transfer of the database is kept and not yet undone. Cheap
// enough for every change of the path; whether the database is still as that transfer left it
// is found out by undoOffer().
bool undoAvailable(const std::string& databasePath);

struct UndoOffer {
    bool available = false;  // the last transfer can be undone now
    std::string title;       // of the confirmation or the refusal
    std::string question;    // names the transfer: kind, file, time and counts (Thai)
    std::string refusal;     // when not available: why not (Thai, with the details)
};

// What undoing the last transfer of the database at `databasePath` would take back.
UndoOffer undoOffer(const std::string& databasePath);

struct UndoAnswer {
    bool undone = false;
    std::string message;  // what happened, or why nothing did (Thai, with the details)
};

// Undoes the last transfer, once the user agreed to the question of undoOffer().
UndoAnswer undoAgreed(const std::string& databasePath);

}  // namespace app
