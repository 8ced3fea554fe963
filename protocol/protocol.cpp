#include "protocol/protocol.h"

namespace zm {

const char *resultText(uint8_t code)
{
    switch (code) {
    case 0: return "Cmd correct";
    case 1: return "Invalid cmd";
    case 2: return "Invalid data length";
    case 3: return "Invalid data format";
    case 4: return "Cmd can't run in current status";
    case 5: return "Cmd recept, but execute failed";
    case 6: return "Cmd time out";
    case 20: return "Frame buffer not stop, can't set length";
    case 22: return "Now is in power save, can't execute this cmd";
    case 240: return "Invalid cmd length";
    case 241: return "Invalid cmd sign";
    case 242: return "Invalid cmd serial number";
    case 243: return "Invalid received data format";
    case 252: return "Stopped";
    case 253: return "Invalid parameter";
    case 254: return "Send data failed";
    case 255: return "Unknow error";
    default: return "Unknow error number";
    }
}

} // namespace zm
