#include "VirtualKeys.h"

#include <Qt>

#include <utility>

namespace vkeys {

namespace {

// Keys whose codes do not follow from a range.
constexpr std::pair<int, std::uint16_t> namedKeys[] = {
    {Qt::Key_Backspace, 0x08},  {Qt::Key_Tab, 0x09},          {Qt::Key_Backtab, 0x09},
    {Qt::Key_Clear, 0x0C},      {Qt::Key_Return, 0x0D},       {Qt::Key_Enter, 0x0D},
    {Qt::Key_Shift, 0x10},      {Qt::Key_Control, 0x11},      {Qt::Key_Alt, 0x12},
    {Qt::Key_Pause, 0x13},      {Qt::Key_CapsLock, 0x14},     {Qt::Key_Escape, 0x1B},
    {Qt::Key_Space, 0x20},      {Qt::Key_PageUp, 0x21},       {Qt::Key_PageDown, 0x22},
    {Qt::Key_End, 0x23},        {Qt::Key_Home, 0x24},         {Qt::Key_Left, 0x25},
    {Qt::Key_Up, 0x26},         {Qt::Key_Right, 0x27},        {Qt::Key_Down, 0x28},
    {Qt::Key_Select, 0x29},     {Qt::Key_Print, 0x2C},        {Qt::Key_Insert, 0x2D},
    {Qt::Key_Delete, 0x2E},     {Qt::Key_Help, 0x2F},         {Qt::Key_Meta, 0x5B},
    {Qt::Key_Menu, 0x5D},       {Qt::Key_Asterisk, 0x6A},     {Qt::Key_Plus, 0x6B},
    {Qt::Key_Minus, 0x6D},      {Qt::Key_Slash, 0x6F},        {Qt::Key_NumLock, 0x90},
    {Qt::Key_ScrollLock, 0x91}, {Qt::Key_Semicolon, 0xBA},    {Qt::Key_Colon, 0xBA},
    {Qt::Key_Equal, 0xBB},      {Qt::Key_Comma, 0xBC},        {Qt::Key_Less, 0xBC},
    {Qt::Key_Underscore, 0xBD}, {Qt::Key_Period, 0xBE},       {Qt::Key_Greater, 0xBE},
    {Qt::Key_Question, 0xBF},   {Qt::Key_QuoteLeft, 0xC0},    {Qt::Key_BracketLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC},  {Qt::Key_BracketRight, 0xDD}, {Qt::Key_Apostrophe, 0xDE},
};

} // namespace

std::uint16_t fromQtKey(int key) {
    // Letters and digits have the codes of their upper-case ASCII characters.
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return static_cast<std::uint16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<std::uint16_t>(0x70 + (key - Qt::Key_F1));
    for (const auto& [qtKey, code] : namedKeys) {
        if (qtKey == key)
            return code;
    }
    return 0;
}

} // namespace vkeys
