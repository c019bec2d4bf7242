#pragma once

#include <cstdint>

// Windows virtual-key codes, the numbers that key events of automation
// controls carry (KeyDown, KeyUp, accelerators), for Qt's key codes.
namespace vkeys {

// The virtual-key code of a Qt key (Qt::Key), or 0 for a key without one.
std::uint16_t fromQtKey(int key);

} // namespace vkeys
