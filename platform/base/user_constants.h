#pragma once
// Window-system numbers kept at the values of the platform the callers were written for: callers send messages by
// number, compare notification codes and store style bits in templates. Subsystems define their own WM_USER + n.
#include <cstdint>

namespace pf {

// Messages
constexpr uint32_t WM_CREATE = 0x01;
constexpr uint32_t WM_DESTROY = 0x02;
constexpr uint32_t WM_MOVE = 0x03;
constexpr uint32_t WM_SIZE = 0x05;
constexpr uint32_t WM_ACTIVATE = 0x06;
constexpr uint32_t WM_SETFOCUS = 0x07;
constexpr uint32_t WM_KILLFOCUS = 0x08;
constexpr uint32_t WM_ENABLE = 0x0A;
constexpr uint32_t WM_SETTEXT = 0x0C;
constexpr uint32_t WM_GETTEXT = 0x0D;
constexpr uint32_t WM_PAINT = 0x0F;
constexpr uint32_t WM_CLOSE = 0x10;
constexpr uint32_t WM_QUIT = 0x12;
constexpr uint32_t WM_ERASEBKGND = 0x14;
constexpr uint32_t WM_SHOWWINDOW = 0x18;
constexpr uint32_t WM_SETCURSOR = 0x20;
constexpr uint32_t WM_NOTIFY = 0x4E;
constexpr uint32_t WM_NCDESTROY = 0x82;
constexpr uint32_t WM_NCACTIVATE = 0x86;
constexpr uint32_t WM_KEYDOWN = 0x100;
constexpr uint32_t WM_KEYUP = 0x101;
constexpr uint32_t WM_CHAR = 0x102;
constexpr uint32_t WM_INITDIALOG = 0x110;
constexpr uint32_t WM_COMMAND = 0x111;
constexpr uint32_t WM_TIMER = 0x113;
constexpr uint32_t WM_HSCROLL = 0x114;
constexpr uint32_t WM_VSCROLL = 0x115;
constexpr uint32_t WM_MOUSEWHEEL = 0x20A; // wParam: keys | delta << 16; lParam: the screen point
constexpr int32_t WHEEL_DELTA = 120;
constexpr uint32_t WM_CTLCOLORDLG = 0x136;
constexpr uint32_t WM_CTLCOLORSTATIC = 0x138;
constexpr uint32_t WM_MOUSEMOVE = 0x200;
constexpr uint32_t WM_LBUTTONDOWN = 0x201;
constexpr uint32_t WM_LBUTTONUP = 0x202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x203;
constexpr uint32_t WM_RBUTTONDOWN = 0x204;
constexpr uint32_t WM_RBUTTONUP = 0x205;
constexpr uint32_t WM_RBUTTONDBLCLK = 0x206;
constexpr uint32_t WM_CAPTURECHANGED = 0x215;
constexpr uint32_t WM_USER = 0x400;
// Messages private to the layer live at and above this value, clear of every subsystem's WM_USER + n.
constexpr uint32_t kLayerMessageBase = 0xC000;

// Notification codes: buttons, edits, combo and list boxes, statics
constexpr int32_t BN_CLICKED = 0;
constexpr int32_t EN_CHANGE = 0x300;
constexpr int32_t CBN_SELCHANGE = 1;
constexpr int32_t CBN_DROPDOWN = 7;
constexpr int32_t CBN_CLOSEUP = 8;
constexpr int32_t LBN_SELCHANGE = 1;
constexpr int32_t STN_CLICKED = 0;
// Common, list view, tree view, tab and spin notifications (negative, as the callers compare them)
constexpr int32_t NM_CLICK = -2;
constexpr int32_t NM_DBLCLK = -3;
constexpr int32_t NM_RCLICK = -5;
constexpr int32_t NM_RELEASEDCAPTURE = -16;
constexpr int32_t LVN_ITEMCHANGING = -100;
constexpr int32_t LVN_ITEMCHANGED = -101;
constexpr int32_t LVN_DELETEALLITEMS = -104;
constexpr int32_t LVN_BEGINDRAG = -109;
constexpr int32_t LVN_GETDISPINFO = -150;
constexpr int32_t TVN_SELCHANGING = -401;
constexpr int32_t TVN_SELCHANGED = -402;
constexpr int32_t TVN_ITEMEXPANDED = -406;
constexpr int32_t TVN_BEGINDRAG = -407;
constexpr int32_t TCN_SELCHANGE = -551;
constexpr int32_t TCN_SELCHANGING = -552;
constexpr int32_t UDN_DELTAPOS = -722;

// Scroll codes; the trackbar's TB_ codes share the values
constexpr int32_t SB_LINEUP = 0;
constexpr int32_t SB_LINELEFT = 0;
constexpr int32_t SB_LINEDOWN = 1;
constexpr int32_t SB_LINERIGHT = 1;
constexpr int32_t SB_PAGEUP = 2;
constexpr int32_t SB_PAGEDOWN = 3;
constexpr int32_t SB_THUMBPOSITION = 4;
constexpr int32_t SB_THUMBTRACK = 5;
constexpr int32_t SB_TOP = 6;
constexpr int32_t SB_BOTTOM = 7;
constexpr int32_t SB_ENDSCROLL = 8;
constexpr int32_t TB_LINEUP = 0;
constexpr int32_t TB_LINEDOWN = 1;
constexpr int32_t TB_PAGEUP = 2;
constexpr int32_t TB_PAGEDOWN = 3;
constexpr int32_t TB_THUMBPOSITION = 4;
constexpr int32_t TB_THUMBTRACK = 5;
constexpr int32_t TB_TOP = 6;
constexpr int32_t TB_BOTTOM = 7;
constexpr int32_t TB_ENDTRACK = 8;
constexpr int32_t SB_HORZ = 0;
constexpr int32_t SB_VERT = 1;
constexpr int32_t SB_CTL = 2;

// Control messages, for callers that send by number
constexpr uint32_t BM_GETCHECK = 0xF0;
constexpr uint32_t BM_SETCHECK = 0xF1;
constexpr uint32_t BM_CLICK = 0xF5;
constexpr uint32_t BM_SETIMAGE = 0xF7;
constexpr uint32_t EM_GETSEL = 0xB0;
constexpr uint32_t EM_SETSEL = 0xB1;
constexpr uint32_t EM_REPLACESEL = 0xC2;
constexpr uint32_t EM_LIMITTEXT = 0xC5;
constexpr uint32_t EM_UNDO = 0xC7;
constexpr uint32_t CB_ADDSTRING = 0x143;
constexpr uint32_t CB_DELETESTRING = 0x144;
constexpr uint32_t CB_GETCOUNT = 0x146;
constexpr uint32_t CB_GETCURSEL = 0x147;
constexpr uint32_t CB_GETLBTEXT = 0x148;
constexpr uint32_t CB_INSERTSTRING = 0x14A;
constexpr uint32_t CB_RESETCONTENT = 0x14B;
constexpr uint32_t CB_SETCURSEL = 0x14E;
constexpr uint32_t CB_GETITEMDATA = 0x150;
constexpr uint32_t CB_SETITEMDATA = 0x151;
constexpr uint32_t CB_FINDSTRINGEXACT = 0x158;
constexpr uint32_t LB_ADDSTRING = 0x180;
constexpr uint32_t LB_INSERTSTRING = 0x181;
constexpr uint32_t LB_DELETESTRING = 0x182;
constexpr uint32_t LB_RESETCONTENT = 0x184;
constexpr uint32_t LB_SETSEL = 0x185;
constexpr uint32_t LB_GETCOUNT = 0x18B;
constexpr uint32_t LB_GETSELCOUNT = 0x190;
constexpr uint32_t LB_GETSELITEMS = 0x191;
constexpr uint32_t LB_GETITEMDATA = 0x199;
constexpr uint32_t LB_SETITEMDATA = 0x19A;
constexpr uint32_t SBM_SETPOS = 0xE0;
constexpr uint32_t SBM_GETPOS = 0xE1;
constexpr uint32_t SBM_SETRANGE = 0xE2;
constexpr uint32_t TBM_GETPOS = 0x400;
constexpr uint32_t TBM_SETPOS = 0x405;
constexpr uint32_t TBM_SETRANGE = 0x406;
constexpr uint32_t UDM_SETPOS = 0x467;
constexpr uint32_t UDM_GETPOS = 0x468;
constexpr uint32_t UDM_SETBUDDY = 0x469;
constexpr uint32_t UDM_SETRANGE32 = 0x46F;
constexpr uint32_t LVM_FIRST = 0x1000;
constexpr uint32_t TVM_FIRST = 0x1100;
constexpr uint32_t TVM_EXPAND = 0x1102;
constexpr uint32_t TVM_HITTEST = 0x1111;
constexpr uint32_t TCM_FIRST = 0x1300;

// Dialog and message-box results
constexpr int32_t IDOK = 1;
constexpr int32_t IDCANCEL = 2;
constexpr int32_t IDYES = 6;
constexpr int32_t IDNO = 7;

// Virtual keys; '0'-'9' and 'A'-'Z' are their ASCII codes
constexpr uint8_t VK_LBUTTON = 1;
constexpr uint8_t VK_RBUTTON = 2;
constexpr uint8_t VK_BACK = 8;
constexpr uint8_t VK_TAB = 9;
constexpr uint8_t VK_RETURN = 13;
constexpr uint8_t VK_SHIFT = 16;
constexpr uint8_t VK_CONTROL = 17;
constexpr uint8_t VK_MENU = 18;
constexpr uint8_t VK_CAPITAL = 20;
constexpr uint8_t VK_ESCAPE = 27;
constexpr uint8_t VK_SPACE = 32;
constexpr uint8_t VK_PRIOR = 33;
constexpr uint8_t VK_NEXT = 34;
constexpr uint8_t VK_END = 35;
constexpr uint8_t VK_HOME = 36;
constexpr uint8_t VK_LEFT = 37;
constexpr uint8_t VK_UP = 38;
constexpr uint8_t VK_RIGHT = 39;
constexpr uint8_t VK_DOWN = 40;
constexpr uint8_t VK_INSERT = 45;
constexpr uint8_t VK_DELETE = 46;
constexpr uint8_t VK_NUMPAD0 = 96; // to VK_NUMPAD9 = 105
constexpr uint8_t VK_MULTIPLY = 106;
constexpr uint8_t VK_ADD = 107;
constexpr uint8_t VK_SUBTRACT = 109;
constexpr uint8_t VK_DECIMAL = 110;
constexpr uint8_t VK_DIVIDE = 111;
constexpr uint8_t VK_F1 = 112;
constexpr uint8_t VK_F4 = 115;
constexpr uint8_t VK_F10 = 121;
constexpr uint8_t VK_F24 = 135;
constexpr uint8_t VK_NUMLOCK = 144;
constexpr uint8_t VK_OEM_1 = 0xBA;
constexpr uint8_t VK_OEM_PLUS = 0xBB;
constexpr uint8_t VK_OEM_COMMA = 0xBC;
constexpr uint8_t VK_OEM_MINUS = 0xBD;
constexpr uint8_t VK_OEM_PERIOD = 0xBE;
constexpr uint8_t VK_OEM_2 = 0xBF;
constexpr uint8_t VK_OEM_3 = 0xC0;
constexpr uint8_t VK_OEM_4 = 0xDB;
constexpr uint8_t VK_OEM_5 = 0xDC;
constexpr uint8_t VK_OEM_6 = 0xDD;
constexpr uint8_t VK_OEM_7 = 0xDE;

// System metric indices
constexpr int32_t SM_CXSCREEN = 0;
constexpr int32_t SM_CYSCREEN = 1;
constexpr int32_t SM_CXVSCROLL = 2;
constexpr int32_t SM_CYCAPTION = 4;
constexpr int32_t SM_CXBORDER = 5;
constexpr int32_t SM_CXDLGFRAME = 7;
constexpr int32_t SM_CXICON = 11;
constexpr int32_t SM_CYICON = 12;
constexpr int32_t SM_CXCURSOR = 13;
constexpr int32_t SM_CYMENU = 15;
constexpr int32_t SM_CXDOUBLECLK = 36;
constexpr int32_t SM_CYDOUBLECLK = 37;
constexpr int32_t SM_CXSMICON = 49;
constexpr int32_t SM_CYSMICON = 50;
constexpr int32_t SM_CXDRAG = 68;
constexpr int32_t SM_CYDRAG = 69;
constexpr uint32_t kDoubleClickTimeMs = 500;

// The metrics that do not depend on the screen; 0 for the screen size and for unknown indices.
constexpr int32_t fixedSystemMetric(int32_t index)
{
    switch (index) {
    case SM_CXVSCROLL:
        return 16;
    case SM_CYCAPTION:
        return 19;
    case SM_CXBORDER:
        return 1;
    case SM_CXDLGFRAME:
        return 3;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
        return 32;
    case SM_CYMENU:
        return 19;
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    case SM_CXDRAG:
    case SM_CYDRAG:
        return 4;
    default:
        return 0;
    }
}

// Window styles
constexpr uint32_t WS_POPUP = 0x80000000u;
constexpr uint32_t WS_CHILD = 0x40000000u;
constexpr uint32_t WS_VISIBLE = 0x10000000u;
constexpr uint32_t WS_DISABLED = 0x08000000u;
constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000u;
constexpr uint32_t WS_CLIPCHILDREN = 0x02000000u;
constexpr uint32_t WS_MAXIMIZE = 0x01000000u;
constexpr uint32_t WS_CAPTION = 0x00C00000u;
constexpr uint32_t WS_BORDER = 0x00800000u;
constexpr uint32_t WS_DLGFRAME = 0x00400000u;
constexpr uint32_t WS_VSCROLL = 0x00200000u;
constexpr uint32_t WS_HSCROLL = 0x00100000u;
constexpr uint32_t WS_THICKFRAME = 0x00040000u;
constexpr uint32_t WS_GROUP = 0x00020000u;
constexpr uint32_t WS_TABSTOP = 0x00010000u;
// Control styles
constexpr uint32_t SS_ICON = 3;
constexpr uint32_t SS_NOTIFY = 0x100;
constexpr uint32_t ES_MULTILINE = 4;
constexpr uint32_t ES_AUTOHSCROLL = 0x80;
constexpr uint32_t ES_READONLY = 0x800;
constexpr uint32_t ES_WANTRETURN = 0x1000;
constexpr uint32_t ES_NUMBER = 0x2000;
constexpr uint32_t BS_PUSHBUTTON = 0;
constexpr uint32_t BS_DEFPUSHBUTTON = 1;
constexpr uint32_t BS_AUTOCHECKBOX = 3;
constexpr uint32_t BS_GROUPBOX = 7;
constexpr uint32_t BS_AUTORADIOBUTTON = 9;
constexpr uint32_t BS_ICON = 0x40;
constexpr uint32_t BS_PUSHLIKE = 0x1000;
constexpr uint32_t CBS_DROPDOWNLIST = 3;
constexpr uint32_t CBS_SORT = 0x100;
constexpr uint32_t LBS_NOTIFY = 1;
constexpr uint32_t LBS_SORT = 2;
constexpr uint32_t LBS_MULTIPLESEL = 8;
constexpr uint32_t LBS_EXTENDEDSEL = 0x800;
constexpr uint32_t LVS_ICON = 0;
constexpr uint32_t LVS_REPORT = 1;
constexpr uint32_t LVS_SMALLICON = 2;
constexpr uint32_t LVS_SINGLESEL = 4;
constexpr uint32_t LVS_SHOWSELALWAYS = 8;
constexpr uint32_t LVS_SHAREIMAGELISTS = 0x40;
constexpr uint32_t TVS_HASBUTTONS = 1;
constexpr uint32_t TVS_HASLINES = 2;
constexpr uint32_t TVS_LINESATROOT = 4;
constexpr uint32_t TVS_CHECKBOXES = 0x100;
constexpr uint32_t TBS_VERT = 2;
constexpr uint32_t UDS_WRAP = 1;
constexpr uint32_t UDS_SETBUDDYINT = 2;
constexpr uint32_t UDS_ALIGNRIGHT = 4;
constexpr uint32_t UDS_ARROWKEYS = 0x20;
constexpr uint32_t UDS_HORZ = 0x40;
constexpr uint32_t UDS_NOTHOUSANDS = 0x80;
constexpr uint32_t CS_DBLCLKS = 8;

// Showing and positioning
constexpr int32_t SW_HIDE = 0;
constexpr int32_t SW_SHOWNORMAL = 1;
constexpr int32_t SW_SHOWMAXIMIZED = 3;
constexpr int32_t SW_SHOWNOACTIVATE = 4;
constexpr int32_t SW_SHOW = 5;
constexpr uint32_t SWP_NOSIZE = 1;
constexpr uint32_t SWP_NOMOVE = 2;
constexpr uint32_t SWP_NOZORDER = 4;
constexpr uint32_t SWP_NOACTIVATE = 0x10;
constexpr uint32_t SWP_SHOWWINDOW = 0x40;
constexpr uint32_t SWP_HIDEWINDOW = 0x80;
constexpr uint32_t HWND_TOP = 0;

// Menus
constexpr uint32_t MF_BYCOMMAND = 0;
constexpr uint32_t MF_GRAYED = 1;
constexpr uint32_t MF_DISABLED = 2;
constexpr uint32_t MF_CHECKED = 8;
constexpr uint32_t MF_SEPARATOR = 0x800;
constexpr uint32_t MF_BYPOSITION = 0x400;
constexpr uint32_t TPM_RIGHTBUTTON = 2;
constexpr uint32_t TPM_RETURNCMD = 0x100;

// Further messages and notification codes, error answers and the shortest timer period
constexpr uint32_t WM_GETTEXTLENGTH = 0x0E;
constexpr uint32_t WM_CTLCOLOREDIT = 0x133;
constexpr uint32_t WM_CTLCOLORLISTBOX = 0x134;
constexpr uint32_t WM_CTLCOLORBTN = 0x135;
constexpr uint32_t WM_COPY = 0x301;
constexpr uint32_t WM_PASTE = 0x302;
constexpr int32_t STN_DBLCLK = 1;
constexpr int32_t LBN_DBLCLK = 2;
constexpr int32_t CB_ERR = -1;
constexpr int32_t LB_ERR = -1;
constexpr uint32_t USER_TIMER_MINIMUM = 10;

// Activation, sizing, hit testing, mouse key flags
constexpr uint32_t WA_INACTIVE = 0;
constexpr uint32_t WA_ACTIVE = 1;
constexpr uint32_t WA_CLICKACTIVE = 2;
constexpr uint32_t SIZE_RESTORED = 0;
constexpr int32_t HTCLIENT = 1;
constexpr uint32_t MK_LBUTTON = 1;
constexpr uint32_t MK_RBUTTON = 2;
constexpr uint32_t MK_SHIFT = 4;
constexpr uint32_t MK_CONTROL = 8;

// System cursors
constexpr uint32_t IDC_ARROW = 32512;
constexpr uint32_t IDC_IBEAM = 32513;
constexpr uint32_t IDC_WAIT = 32514;
constexpr uint32_t IDC_CROSS = 32515;
constexpr uint32_t IDC_UPARROW = 32516;
constexpr uint32_t IDC_SIZENWSE = 32642;
constexpr uint32_t IDC_SIZENESW = 32643;
constexpr uint32_t IDC_SIZEWE = 32644;
constexpr uint32_t IDC_SIZENS = 32645;
constexpr uint32_t IDC_SIZEALL = 32646;
constexpr uint32_t IDC_NO = 32648;
constexpr uint32_t IDC_HAND = 32649;

// Message boxes
constexpr uint32_t MB_OK = 0;
constexpr uint32_t MB_OKCANCEL = 1;
constexpr uint32_t MB_YESNOCANCEL = 3;
constexpr uint32_t MB_YESNO = 4;
constexpr uint32_t MB_ICONHAND = 0x10;
constexpr uint32_t MB_ICONQUESTION = 0x20;
constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
constexpr uint32_t MB_ICONASTERISK = 0x40;

// Statics, buttons, edits
constexpr uint32_t SS_LEFT = 0;
constexpr uint32_t SS_CENTER = 1;
constexpr uint32_t SS_RIGHT = 2;
constexpr uint32_t SS_BLACKRECT = 4;
constexpr uint32_t SS_ETCHEDHORZ = 0x10;
constexpr uint32_t SS_TYPEMASK = 0x1F;
constexpr uint32_t STM_SETICON = 0x170;
constexpr uint32_t BS_CHECKBOX = 2;
constexpr uint32_t BS_RADIOBUTTON = 4;
constexpr uint32_t BS_3STATE = 5;
constexpr uint32_t BS_AUTO3STATE = 6;
constexpr int32_t BST_UNCHECKED = 0;
constexpr int32_t BST_CHECKED = 1;
constexpr int32_t BST_INDETERMINATE = 2;
constexpr uint32_t IMAGE_ICON = 1;
constexpr uint32_t EM_CANUNDO = 0xC6;
constexpr uint32_t EM_SETREADONLY = 0xCF;
constexpr uint32_t EM_GETEVENTMASK = 0x43B;
constexpr uint32_t EM_SETEVENTMASK = 0x445;
constexpr uint32_t ENM_CHANGE = 1;

// Combo and list boxes, scroll bars, trackbars, spins, tabs, status bars
constexpr uint32_t CB_SHOWDROPDOWN = 0x14F;
constexpr uint32_t CB_GETDROPPEDSTATE = 0x157;
constexpr uint32_t LB_SETCURSEL = 0x186;
constexpr uint32_t LB_GETSEL = 0x187;
constexpr uint32_t LB_GETCURSEL = 0x188;
constexpr uint32_t LB_FINDSTRINGEXACT = 0x1A2;
constexpr uint32_t SBS_VERT = 1;
constexpr uint32_t TBM_GETRANGEMIN = 0x401;
constexpr uint32_t TBM_GETRANGEMAX = 0x402;
constexpr uint32_t TBM_SETRANGEMIN = 0x407;
constexpr uint32_t TBM_SETRANGEMAX = 0x408;
constexpr uint32_t TBM_SETTICFREQ = 0x414;
constexpr uint32_t TBM_SETPAGESIZE = 0x415;
constexpr uint32_t TBM_SETLINESIZE = 0x417;
constexpr uint32_t UDM_GETBUDDY = 0x46A;
constexpr uint32_t UDM_SETPOS32 = 0x471;
constexpr uint32_t UDM_GETPOS32 = 0x472;
constexpr uint32_t TCM_GETITEMCOUNT = 0x1304;
constexpr uint32_t TCM_DELETEALLITEMS = 0x1309;
constexpr uint32_t TCM_GETCURSEL = 0x130B;
constexpr uint32_t TCM_SETCURSEL = 0x130C;
constexpr uint32_t SB_SETTEXT = 0x401;
constexpr uint32_t PBM_SETPOS = 0x402;
constexpr uint32_t PBM_SETRANGE32 = 0x406;
constexpr uint32_t PBM_GETPOS = 0x408;

// List views
constexpr uint32_t LVM_SETBKCOLOR = 0x1001;
constexpr uint32_t LVM_GETITEMCOUNT = 0x1004;
constexpr uint32_t LVM_SETITEM = 0x1006;
constexpr uint32_t LVM_INSERTITEM = 0x1007;
constexpr uint32_t LVM_DELETEITEM = 0x1008;
constexpr uint32_t LVM_DELETEALLITEMS = 0x1009;
constexpr uint32_t LVM_GETNEXTITEM = 0x100C;
constexpr uint32_t LVM_GETITEMRECT = 0x100E;
constexpr uint32_t LVM_ENSUREVISIBLE = 0x1013;
constexpr uint32_t LVM_REDRAWITEMS = 0x1015;
constexpr uint32_t LVM_SETTEXTCOLOR = 0x1024;
constexpr uint32_t LVM_SETTEXTBKCOLOR = 0x1026;
constexpr uint32_t LVM_SETITEMSTATE = 0x102B;
constexpr uint32_t LVM_GETITEMSTATE = 0x102C;
constexpr uint32_t LVM_GETSELECTEDCOUNT = 0x1032;
constexpr uint32_t LVIF_TEXT = 1;
constexpr uint32_t LVIF_IMAGE = 2;
constexpr uint32_t LVIF_PARAM = 4;
constexpr uint32_t LVIF_STATE = 8;
constexpr uint32_t LVIS_FOCUSED = 1;
constexpr uint32_t LVIS_SELECTED = 2;
constexpr int32_t LVIR_BOUNDS = 0;
constexpr int32_t LVIR_ICON = 1;
constexpr int32_t LVIR_LABEL = 2;
constexpr int32_t LVSIL_NORMAL = 0;
constexpr int32_t LVSIL_SMALL = 1;
constexpr uint32_t LVHT_NOWHERE = 1;
constexpr uint32_t LVHT_ONITEMICON = 2;
constexpr uint32_t LVHT_ONITEMLABEL = 4;
constexpr uint32_t LVNI_SELECTED = 2;

// Tree views
constexpr uint32_t TVM_DELETEITEM = 0x1101;
constexpr uint32_t TVM_GETCOUNT = 0x1105;
constexpr uint32_t TVM_GETITEMHEIGHT = 0x111C;
constexpr uint32_t TVE_COLLAPSE = 1;
constexpr uint32_t TVE_EXPAND = 2;
constexpr uint32_t TVE_TOGGLE = 3;
constexpr uint32_t TVIS_SELECTED = 2;
constexpr uint32_t TVIS_EXPANDED = 0x20;
constexpr uint32_t TVIF_PARAM = 4;
constexpr uint32_t TVIF_STATE = 8;
constexpr uint32_t TVIF_HANDLE = 0x10;
constexpr uint32_t TVHT_NOWHERE = 1;
constexpr uint32_t TVHT_ONITEMICON = 2;
constexpr uint32_t TVHT_ONITEMLABEL = 4;
constexpr uint32_t TVHT_ONITEMINDENT = 8;
constexpr uint32_t TVHT_ONITEMBUTTON = 0x10;
constexpr uint32_t TVHT_ONITEMRIGHT = 0x20;
constexpr uint32_t TVHT_ONITEMSTATEICON = 0x40;
constexpr uint32_t TVC_UNKNOWN = 0;
constexpr uint32_t TVC_BYMOUSE = 1;
constexpr uint32_t TVC_BYKEYBOARD = 2;
constexpr int32_t TVSIL_NORMAL = 0;
constexpr int32_t TVSIL_STATE = 2;

// Menus
constexpr uint32_t MF_ENABLED = 0;

// Common dialogs
constexpr uint32_t OFN_OVERWRITEPROMPT = 2;
constexpr uint32_t OFN_HIDEREADONLY = 4;
constexpr uint32_t OFN_ALLOWMULTISELECT = 0x200;
constexpr uint32_t OFN_PATHMUSTEXIST = 0x800;
constexpr uint32_t OFN_FILEMUSTEXIST = 0x1000;
constexpr uint32_t CC_RGBINIT = 1;
constexpr uint32_t CC_FULLOPEN = 2;
constexpr uint32_t SCREEN_FONTTYPE = 0x2000;

} // namespace pf
