// A second source of cancel requests for the read and flush loops of the
// port object, beside CDevice::CancelRead's own flag. The command layer
// installs one that tells whether the running command has been cancelled:
// unlike the port's flag, which every read clears at its start, that state
// lives as long as the command, so a cancel that comes before a read, or
// between two reads, still ends the next one.
#ifndef TLX_TRANSPORT_CANCEL_SOURCE_H
#define TLX_TRANSPORT_CANCEL_SOURCE_H

typedef bool (*CancelSourceFn)();

// Installs fn (null: none). Safe from any thread.
void SetCancelSource(CancelSourceFn fn);
// True when the installed source reports a cancel.
bool CancelSourcePending();

#endif
