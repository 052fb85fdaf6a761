// The payroll database's compact, as a front end offers it: what to ask before, what to say
// after. A front end shows these texts (its own message boxes) and runs compactPayrollDatabase()
// between them; nothing here touches a window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace app {

// What the front end shows before compacting: a question (Yes/No), or a refusal (OK only).
struct CompactQuestion {
    bool mayCompact = false;
    std::string text;
    std::string title;
};

// `database`: the payroll database as the window's field names it (UTF-8). A compact needs the
// database to itself: never while a transfer runs.
CompactQuestion compactQuestion(const std::string& database, bool transferRunning);

// What the front end shows after: the sizes before and after, or why nothing changed.
struct CompactOutcome {
    bool compacted = false;
    uint64_t sizeBefore = 0, sizeAfter = 0;
    std::string text;
    std::string title;
};

// Compacts the database where it is (the old file is kept until the new one is checked).
// `progress` receives a line now and then (tables as they are written again).
CompactOutcome compactPayrollDatabase(const std::string& database,
                                      const std::function<void(const std::string&)>& progress = {});

// A file size for people: "109.4 MB", "812 KB".
std::string sizeText(uint64_t bytes);

}  // namespace app
