// 128-bit integers, for exact arithmetic on decimals and currency amounts that 64 bits cannot
// hold in between. The one place that names the compiler's own type: a compiler without it needs
// a replacement here only.
#pragma once

namespace jet {

using Int128 = __int128;
using UInt128 = unsigned __int128;

}  // namespace jet
