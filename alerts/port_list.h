#pragma once
// A small set of TCP ports, kept ascending, each once: the ports one source
// touched, the tripwires armed or refused. Room for every tripwire and the
// daemon's port.
#include "engine/tripwires.h"

enum { kPortListSize = kMostTripwires + 1 };

struct PortList {
    int ports[kPortListSize];
    int count;
};

// Adds `port` in its place; 0 when the list is full (and the port not in it).
int portListAdd(PortList& list, int port);

int portListHas(const PortList& list, int port);

// "21,22,3389" (`separator` ","), or "21, 22, 3389" (", "); "" for none.
void portListText(const PortList& list, const char* separator, char* text, int size);
