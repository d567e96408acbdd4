// The link parameters that head every library call (port number, BP channel
// letter, baud rate), and how the programs' settings widgets show and read
// them. Values and texts only: where the settings are stored is the
// program's business.
#ifndef TLX_LINK_SETTINGS_H
#define TLX_LINK_SETTINGS_H

#include <QString>

struct LinkSettings {
  int port = 0;  // 0 = USB HID, n >= 1 = serial port /dev/ttyS(n-1)
  char bp = 0;   // BP channel letter, 0 for none
  int baud = 9600;
};

// What a port number means, shown beside the port field: "(HID)" for 0,
// "(ttyS<n-1>)" for any other n (port 1 is (ttyS0)).
QString PortLabel(int port);

// The BP channel of a channel box text: 0 for "无" (and for an empty text),
// otherwise the first byte of the text in the local 8-bit encoding ('A',
// 'B', 'C' or 'K' for the boxes' own items).
char ChannelFromText(const QString& text);

// Index in a channel box ("无", "A", "B", "C", "K") of a stored channel
// letter, in either case; anything else, also "0" and the empty text, is 0
// ("无").
int ChannelIndex(const QString& letter);

#endif
