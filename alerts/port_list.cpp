#include "alerts/port_list.h"

#include <cstdio>

int portListHas(const PortList& list, int port)
{
    for (int i = 0; i < list.count; ++i) {
        if (list.ports[i] == port)
            return 1;
    }
    return 0;
}

int portListAdd(PortList& list, int port)
{
    if (portListHas(list, port))
        return 1;
    if (list.count == kPortListSize)
        return 0;
    int at = list.count++;
    for (; at > 0 && list.ports[at - 1] > port; --at)
        list.ports[at] = list.ports[at - 1];
    list.ports[at] = port;
    return 1;
}

void portListText(const PortList& list, const char* separator, char* text, int size)
{
    int used = 0;
    text[0] = '\0';
    for (int i = 0; i < list.count && used >= 0 && used < size; ++i)
        used += std::snprintf(text + used, static_cast<size_t>(size - used), "%s%d", i ? separator : "", list.ports[i]);
}
