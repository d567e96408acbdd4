// The USB vendor/product pairs under which the terminal may present itself,
// tried in this order when port 0 (HID) is opened.
#include "session/session.h"

const HidIdentity g_hidIdentities[TLX_HID_IDENTITY_COUNT] = {
    {0x2FB0, 0x0101},
    {0x2FB0, 0x0102},
    {0x0483, 0x5750},
};
