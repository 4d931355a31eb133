// Labels whose "&" marks a mnemonic: a QLabel shows the mark only when it has
// a buddy, and without one it shows the "&" itself ("Pro&ject:"). Panes and
// dialogs are built in many places, by the plug-ins too; the windows that
// host them call LinkMnemonicLabels once, after building, to give every such
// label the field beside it (or, where there is none, plain text).
#pragma once

class QWidget;

namespace pixmill {

void LinkMnemonicLabels(QWidget* root);

} // namespace pixmill
