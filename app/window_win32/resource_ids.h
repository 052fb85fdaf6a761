// Identifiers of the program's resources (veltra.rc), shared with the code that loads them.
#pragma once

#define VELTRA_ICON_PROGRAM 101
#define VELTRA_ICON_FILE 102
