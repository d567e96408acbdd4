// Whether the demo talks to the virtual terminal. The tour resets the keys
// and loads its own, then takes pictures: it must never act on a real
// terminal. The launchers set TLX_VIRTUAL_TERMINAL to the run directory of
// the virtual terminal they start; the link the demo uses must lead into
// that directory: on port 0 the libusb loaded in this process must be the
// virtual terminal's stand-in (not merely the variables set), on a serial
// port the device pattern must be the virtual terminal's.
#ifndef VIRTUALTERMINALCHECK_H
#define VIRTUALTERMINALCHECK_H

#include <QString>

// True when port leads to the virtual terminal; otherwise *why says in one
// line what is missing.
bool OnVirtualTerminal(int port, QString* why);

#endif
