#pragma once
// What every dialog of the program shares: it centres itself on the desktop when it opens.

class QWidget;

namespace quel::desktop {

// Moves the window so that its frame is centred on the primary screen.
void CenterOnDesktop(QWidget& window);

} // namespace quel::desktop
