// Public: part of the engine's interface to the programs built on it.
// jet::OpenMode: how a file is opened, from the pager up to the public Database.
#pragma once

namespace jet {

enum class OpenMode { ReadOnly, ReadWrite };

}  // namespace jet
