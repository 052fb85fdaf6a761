// Public: what opening a database for writing found beside it (a journal an interrupted change
// left, a lock file nobody holds) and what was done about it.
#pragma once

#include <filesystem>
#include <string>

namespace jet {

// What was found beside a database file and done about it, before opening it.
struct RecoveryReport {
    enum class Outcome {
        NoJournal,    // nothing left by an interrupted change
        Incomplete,   // a journal cut short (its commit never touched the file): removed
        NothingToDo,  // the interrupted commit had not touched the file: journal removed
        Finished,     // the interrupted commit had reached the file whole: kept, journal removed
        PlayedBack,   // the file was put back as it was before the interrupted commit
        SetAside,     // the journal is not this file's: renamed to setAsideAs, file untouched
    };
    Outcome outcome = Outcome::NoJournal;
    std::filesystem::path journal;     // where the journal lay
    std::filesystem::path setAsideAs;  // for SetAside
    std::string reason;                // for SetAside: what does not match
    bool staleLockRemoved = false;     // a lock file (.ldb) nobody held was removed
};

}  // namespace jet
