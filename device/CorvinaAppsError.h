#pragma once
// What the editor shows when talking to the board goes wrong: the texts in
// the user's language and what the field scene does next.
#include <string>

struct CorvinaAppsError {
    std::string title, message;
    bool showAlert = false;  // tell the user
    bool openPanel = false;  // bring back the board chooser
    bool rescan = false;     // look for boards again
};

// A title and a message, for alerts that carry nothing else.
struct AlertText {
    std::string title, message;
};

CorvinaAppsError linkOpenFailedError();
CorvinaAppsError connectionFailedError();
// The user stopped the sending: nothing to show.
CorvinaAppsError cancelledError();
// The port exists but this user may not open it: says how to join `dialout`.
CorvinaAppsError permissionDeniedError(const std::string& port);
// Another program (another editor, corvina-cli, a terminal) holds the port.
CorvinaAppsError boardBusyError();
// The chosen board's port is not there: unplugged, or never plugged in.
CorvinaAppsError boardNotPluggedError();
// A key could not be typed into a board on a serial port: the cable came
// out while sending.
CorvinaAppsError cableCameOutError();
// The Wi-Fi module's address cannot be reached from this computer.
CorvinaAppsError wifiUnreachableError();
// Another program holds the local UDP port the Wi-Fi link listens on.
AlertText portConflictMessage(int port);
