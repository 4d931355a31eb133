// The library's help page; its texts stand in its table entry.
#pragma once

namespace pixmill::pineturn {

// The operation's help page.
inline constexpr int kHelpRotate = 97;

} // namespace pixmill::pineturn
