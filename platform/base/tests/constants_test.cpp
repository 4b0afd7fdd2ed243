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
        {"MB_OKCANCEL", pf::MB_OKCANCEL, 1},
        {"MB_YESNOCANCEL", pf::MB_YESNOCANCEL, 3},
        {"MB_YESNO", pf::MB_YESNO, 4},
        {"MB_ICONHAND", pf::MB_ICONHAND, 0x10},
        {"MB_ICONQUESTION", pf::MB_ICONQUESTION, 0x20},
        {"MB_ICONEXCLAMATION", pf::MB_ICONEXCLAMATION, 0x30},
        {"MB_ICONASTERISK", pf::MB_ICONASTERISK, 0x40},
        {"IDC_ARROW", pf::IDC_ARROW, 32512},
        {"IDC_HAND", pf::IDC_HAND, 32649},
        {"HTCLIENT", pf::HTCLIENT, 1},
        {"MK_LBUTTON", pf::MK_LBUTTON, 1},
        {"MK_RBUTTON", pf::MK_RBUTTON, 2},
        {"MK_SHIFT", pf::MK_SHIFT, 4},
        {"MK_CONTROL", pf::MK_CONTROL, 8},
        {"LVIS_FOCUSED", pf::LVIS_FOCUSED, 1},
        {"LVIS_SELECTED", pf::LVIS_SELECTED, 2},
        {"LVIR_BOUNDS", pf::LVIR_BOUNDS, 0},
        {"LVIR_ICON", pf::LVIR_ICON, 1},
        {"LVIR_LABEL", pf::LVIR_LABEL, 2},
        {"LVSIL_NORMAL", pf::LVSIL_NORMAL, 0},
        {"LVSIL_SMALL", pf::LVSIL_SMALL, 1},
        {"LVIF_STATE", pf::LVIF_STATE, 8},
        {"TVE_COLLAPSE", pf::TVE_COLLAPSE, 1},
        {"TVE_EXPAND", pf::TVE_EXPAND, 2},
        {"TVHT_ONITEMICON", pf::TVHT_ONITEMICON, 2},
        {"TVHT_ONITEMLABEL", pf::TVHT_ONITEMLABEL, 4},
        {"TVHT_ONITEMSTATEICON", pf::TVHT_ONITEMSTATEICON, 0x40},
        {"TVC_UNKNOWN", pf::TVC_UNKNOWN, 0},
        {"TVC_BYMOUSE", pf::TVC_BYMOUSE, 1},
        {"OFN_OVERWRITEPROMPT", pf::OFN_OVERWRITEPROMPT, 2},
        {"OFN_HIDEREADONLY", pf::OFN_HIDEREADONLY, 4},
        {"OFN_ALLOWMULTISELECT", pf::OFN_ALLOWMULTISELECT, 0x200},
        {"OFN_PATHMUSTEXIST", pf::OFN_PATHMUSTEXIST, 0x800},
        {"OFN_FILEMUSTEXIST", pf::OFN_FILEMUSTEXIST, 0x1000},
        {"CC_RGBINIT", pf::CC_RGBINIT, 1},
        {"CC_FULLOPEN", pf::CC_FULLOPEN, 2},
        {"SCREEN_FONTTYPE", pf::SCREEN_FONTTYPE, 0x2000},
        {"USER_TIMER_MINIMUM", pf::USER_TIMER_MINIMUM, 10},
        {"IMAGE_ICON", pf::IMAGE_ICON, 1},
        {"BST_CHECKED", pf::BST_CHECKED, 1},
        {"E_NOINTERFACE", static_cast<uint32_t>(pf::E_NOINTERFACE), 0x80004002LL},
        {"REGDB_E_CLASSNOTREG", static_cast<uint32_t>(pf::REGDB_E_CLASSNOTREG), 0x80040154LL},
        {"DDERR_REGIONTOOSMALL", static_cast<uint32_t>(pf::DDERR_REGIONTOOSMALL), 0x8876019ALL},
        {"D3DERR_OUTOFVIDEOMEMORY", static_cast<uint32_t>(pf::D3DERR_OUTOFVIDEOMEMORY), 0x8876017CLL},
    };
    for (const Quoted& q : table)
        EXPECT_EQ(q.ours, q.quoted) << q.name;
}

} // namespace
