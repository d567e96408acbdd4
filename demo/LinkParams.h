// The three link parameters that head every library call, taken together
// so that a worker thread can be handed a copy instead of reading widgets.
#ifndef LINKPARAMS_H
#define LINKPARAMS_H

struct LinkParams
{
    int port = 0;
    char bp = 0;
    int baud = 9600;
};

#endif
