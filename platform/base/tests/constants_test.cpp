#include "platform/base/gdi_constants.h"
#include "platform/base/result.h"
#include "platform/base/user_constants.h"

#include <gtest/gtest.h>

namespace {

// Numbers the callers quote, next to the value they quote. A wrong constant would send the wrong message or test the
// wrong bit in many places at once, and nothing else would notice.
struct Quoted {
    const char* name;
    int64_t ours;
    int64_t quoted;
};

TEST(PlatformConstants, MatchTheQuotedValues)
{
    const Quoted table[] = {
        {"WM_USER+125", pf::WM_USER + 125, 1149},
        {"WM_USER+127", pf::WM_USER + 127, 1151},
        {"WM_COMMAND", pf::WM_COMMAND, 0x111},
        {"WM_NOTIFY", pf::WM_NOTIFY, 0x4E},
        {"WM_TIMER", pf::WM_TIMER, 0x113},
        {"WM_LBUTTONDBLCLK", pf::WM_LBUTTONDBLCLK, 0x203},
        {"WM_CAPTURECHANGED", pf::WM_CAPTURECHANGED, 0x215},
        {"NM_RELEASEDCAPTURE", pf::NM_RELEASEDCAPTURE, -16},
        {"LVN_GETDISPINFO", pf::LVN_GETDISPINFO, -150},
        {"TVN_ITEMEXPANDED", pf::TVN_ITEMEXPANDED, -406},
        {"UDN_DELTAPOS", pf::UDN_DELTAPOS, -722},
        {"EN_CHANGE", pf::EN_CHANGE, 0x300},
        {"SB_THUMBTRACK", pf::SB_THUMBTRACK, 5},
        {"TB_ENDTRACK", pf::TB_ENDTRACK, 8},
        {"CB_FINDSTRINGEXACT", pf::CB_FINDSTRINGEXACT, 0x158},
        {"LB_SETITEMDATA", pf::LB_SETITEMDATA, 0x19A},
        {"UDM_SETRANGE32", pf::UDM_SETRANGE32, 0x46F},
        {"TVM_HITTEST", pf::TVM_HITTEST, 0x1111},
        {"IDNO", pf::IDNO, 7},
        {"VK_DELETE", pf::VK_DELETE, 46},
        {"VK_NUMLOCK", pf::VK_NUMLOCK, 144},
        {"VK_OEM_7", pf::VK_OEM_7, 0xDE},
        {"SM_CXDRAG", pf::SM_CXDRAG, 68},
        {"SM_CXDRAG value", pf::fixedSystemMetric(pf::SM_CXDRAG), 4},
        {"SM_CYCAPTION value", pf::fixedSystemMetric(pf::SM_CYCAPTION), 19},
        {"SM_CXVSCROLL value", pf::fixedSystemMetric(pf::SM_CXVSCROLL), 16},
        {"SM_CXSMICON value", pf::fixedSystemMetric(pf::SM_CXSMICON), 16},
        {"WS_CAPTION", pf::WS_CAPTION, 0x00C00000},
        {"WS_POPUP", pf::WS_POPUP, 0x80000000LL},
        {"ES_NUMBER", pf::ES_NUMBER, 0x2000},
        {"LBS_EXTENDEDSEL", pf::LBS_EXTENDEDSEL, 0x800},
        {"UDS_NOTHOUSANDS", pf::UDS_NOTHOUSANDS, 0x80},
        {"SWP_HIDEWINDOW", pf::SWP_HIDEWINDOW, 0x80},
        {"MF_SEPARATOR", pf::MF_SEPARATOR, 0x800},
        {"R2_XORPEN", pf::R2_XORPEN, 7},
        {"R2_COPYPEN", pf::R2_COPYPEN, 13},
        {"SRCCOPY", pf::SRCCOPY, 0x00CC0020},
        {"PATINVERT", pf::PATINVERT, 0x005A0049},
        {"TA_BASELINE", pf::TA_BASELINE, 24},
        {"OUT_TT_ONLY_PRECIS", pf::OUT_TT_ONLY_PRECIS, 7},
        {"RASTERCAPS", pf::RASTERCAPS, 38},
        {"SIZEPALETTE", pf::SIZEPALETTE, 104},
        {"DEFAULT_GUI_FONT", pf::DEFAULT_GUI_FONT, 17},
        {"ILC_COLOR32", pf::ILC_COLOR32, 0x20},
        {"E_NOINTERFACE", static_cast<uint32_t>(pf::E_NOINTERFACE), 0x80004002LL},
        {"REGDB_E_CLASSNOTREG", static_cast<uint32_t>(pf::REGDB_E_CLASSNOTREG), 0x80040154LL},
        {"DDERR_REGIONTOOSMALL", static_cast<uint32_t>(pf::DDERR_REGIONTOOSMALL), 0x8876019ALL},
        {"D3DERR_OUTOFVIDEOMEMORY", static_cast<uint32_t>(pf::D3DERR_OUTOFVIDEOMEMORY), 0x8876017CLL},
    };
    for (const Quoted& q : table)
        EXPECT_EQ(q.ours, q.quoted) << q.name;
}

} // namespace
