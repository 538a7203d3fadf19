#pragma once

namespace tk {

class Application;

// Qt's screen reader bridge connects to the session bus the first time anything asks whether a reader
// listens (when the first window shows, at the latest), and the main thread waits for it: the bus
// library is loaded, a thread started, the connection authenticated, and where no bus address is known
// a helper program is run to find one. This connects beside the main thread instead, where the
// platform has that bridge, so that the window is built meanwhile. Needs the application object.
void connectReaderBusBeside(Application &app);

} // namespace tk
