#include "platform/ui/core/keyboard.h"

#include "platform/base/user_constants.h"

namespace pf {

namespace {

bool isDown(const std::array<uint8_t, 256>& keys, uint8_t vk)
{
    return (keys[vk] & 0x80) != 0;
}
bool isToggled(const std::array<uint8_t, 256>& keys, uint8_t vk)
{
    return (keys[vk] & 0x01) != 0;
}

struct OemKey {
    uint8_t vk;
    char plain;
    char shifted;
};
constexpr OemKey kOemKeys[] = {
    {VK_OEM_1, ';', ':'},      {VK_OEM_PLUS, '=', '+'}, {VK_OEM_COMMA, ',', '<'}, {VK_OEM_MINUS, '-', '_'},
    {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},    {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},
    {VK_OEM_5, '\\', '|'},     {VK_OEM_6, ']', '}'},    {VK_OEM_7, '\'', '"'},
};
constexpr char kShiftedDigits[] = ")!@#$%^&*(";

// Set-1 scan codes of the letters A-Z and the digit row 0-9.
constexpr uint8_t kLetterScan[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                     0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};
constexpr uint8_t kDigitScan[10] = {0x0B, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};
constexpr uint8_t kNumpadScan[10] = {0x52, 0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};

} // namespace

uint16_t scanCodeOf(uint8_t vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return kLetterScan[vk - 'A'];
    if (vk >= '0' && vk <= '9')
        return kDigitScan[vk - '0'];
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
        return kNumpadScan[vk - VK_NUMPAD0];
    if (vk >= VK_F1 && vk < VK_F1 + 10)
        return static_cast<uint16_t>(0x3B + (vk - VK_F1));
    switch (vk) {
    case VK_ESCAPE:
        return 0x01;
    case VK_BACK:
        return 0x0E;
    case VK_TAB:
        return 0x0F;
    case VK_RETURN:
        return 0x1C;
    case VK_CONTROL:
        return 0x1D;
    case VK_SHIFT:
        return 0x2A;
    case VK_MENU:
        return 0x38;
    case VK_SPACE:
        return 0x39;
    case VK_CAPITAL:
        return 0x3A;
    case VK_NUMLOCK:
        return 0x45;
    case VK_HOME:
        return 0x47;
    case VK_UP:
        return 0x48;
    case VK_PRIOR:
        return 0x49;
    case VK_LEFT:
        return 0x4B;
    case VK_RIGHT:
        return 0x4D;
    case VK_END:
        return 0x4F;
    case VK_DOWN:
        return 0x50;
    case VK_NEXT:
        return 0x51;
    case VK_INSERT:
        return 0x52;
    case VK_DELETE:
        return 0x53;
    case VK_MULTIPLY:
        return 0x37;
    case VK_SUBTRACT:
        return 0x4A;
    case VK_ADD:
        return 0x4E;
    case VK_DECIMAL:
        return 0x53;
    case VK_DIVIDE:
        return 0x35;
    case VK_OEM_1:
        return 0x27;
    case VK_OEM_PLUS:
        return 0x0D;
    case VK_OEM_COMMA:
        return 0x33;
    case VK_OEM_MINUS:
        return 0x0C;
    case VK_OEM_PERIOD:
        return 0x34;
    case VK_OEM_2:
        return 0x35;
    case VK_OEM_3:
        return 0x29;
    case VK_OEM_4:
        return 0x1A;
    case VK_OEM_5:
        return 0x2B;
    case VK_OEM_6:
        return 0x1B;
    case VK_OEM_7:
        return 0x28;
    default:
        return 0;
    }
}

bool isModifierKey(uint8_t vk)
{
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU;
}

bool isExtendedKey(uint8_t vk)
{
    switch (vk) {
    case VK_HOME:
    case VK_UP:
    case VK_PRIOR:
    case VK_LEFT:
    case VK_RIGHT:
    case VK_END:
    case VK_DOWN:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_DIVIDE:
        return true;
    default:
        return false;
    }
}

int toAscii(uint8_t vk, uint16_t /*scanCode*/, const std::array<uint8_t, 256>& keys, uint16_t& out)
{
    out = 0;
    const bool shift = isDown(keys, VK_SHIFT);
    const bool control = isDown(keys, VK_CONTROL);
    char c = 0;
    if (vk >= 'A' && vk <= 'Z') {
        if (control)
            c = static_cast<char>(vk - 'A' + 1);
        else
            c = static_cast<char>((shift != isToggled(keys, VK_CAPITAL)) ? vk : vk - 'A' + 'a');
    } else if (control) {
        c = 0; // only letters make control characters on our table
    } else if (vk >= '0' && vk <= '9') {
        c = shift ? kShiftedDigits[vk - '0'] : static_cast<char>(vk);
    } else if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) {
        c = isToggled(keys, VK_NUMLOCK) ? static_cast<char>('0' + (vk - VK_NUMPAD0)) : 0;
    } else {
        switch (vk) {
        case VK_SPACE:
            c = ' ';
            break;
        case VK_RETURN:
            c = '\r';
            break;
        case VK_BACK:
            c = '\b';
            break;
        case VK_TAB:
            c = '\t';
            break;
        case VK_ESCAPE:
            c = 27;
            break;
        case VK_MULTIPLY:
            c = '*';
            break;
        case VK_ADD:
            c = '+';
            break;
        case VK_SUBTRACT:
            c = '-';
            break;
        case VK_DIVIDE:
            c = '/';
            break;
        case VK_DECIMAL:
            c = isToggled(keys, VK_NUMLOCK) ? '.' : 0;
            break;
        default:
            for (const OemKey& k : kOemKeys)
                if (k.vk == vk)
                    c = shift ? k.shifted : k.plain;
        }
    }
    if (c == 0)
        return 0;
    out = static_cast<uint8_t>(c);
    return 1;
}

} // namespace pf
