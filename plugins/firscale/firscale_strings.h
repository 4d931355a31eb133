// The library's help page; its texts stand in its table entry.
#pragma once

namespace pixmill::firscale {

// The operation's help page.
inline constexpr int kHelpResample = 91;

} // namespace pixmill::firscale
