// The handheld operating system as the program sees it.
//
// Divisions, in order: Types, Errors, Runtime library, Files, Locale,
// Registry, Resources, Windows and messages, Dialogs, Message boxes, Window
// search, Common controls (with the entry point), Geometry, Cursors and
// timers, Notifications, list view, tab control, combo box and list box,
// static controls and buttons, Shell, Painting, Internet, Processes.
//
// Program code includes this header and the C++ standard library, nothing
// else. Texts are wide (wchar_t); 8-bit data is widened through
// Windows-1252. Constant values are those of the handheld system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cwchar>

// Types
typedef wchar_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef intptr_t LRESULT;
typedef uint16_t USHORT;
typedef struct WindowObject* HWND;
typedef struct ModuleObject* HINSTANCE;
typedef struct RegistryKey* HKEY;
struct RESOURCEENTRY;
typedef const RESOURCEENTRY* HRSRC;
typedef const void* HGLOBAL;
typedef struct CursorObject* HCURSOR;
typedef struct GdiObject* HGDIOBJ;
typedef HGDIOBJ HFONT;
typedef HGDIOBJ HBRUSH;
typedef struct DeviceContext* HDC;
typedef struct InternetObject* HINTERNET;
typedef DWORD COLORREF;

#define TRUE 1
#define FALSE 0
#define MAKEINTRESOURCEW(i) (reinterpret_cast<LPCWSTR>(static_cast<UINT_PTR>(static_cast<WORD>(i))))
#define LOWORD(l) (static_cast<WORD>(static_cast<UINT_PTR>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<UINT_PTR>(l) >> 16) & 0xffff))
#define MAKEWPARAM(lo, hi) (static_cast<WPARAM>(static_cast<DWORD>((static_cast<WORD>(lo)) | (static_cast<DWORD>(static_cast<WORD>(hi)) << 16))))

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

// Errors
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_INVALID_DATA 13L
#define ERROR_WRITE_PROTECT 19L
#define ERROR_WRITE_FAULT 29L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_DISK_FULL 112L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MORE_DATA 234L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_BADDB 1009L
DWORD GetLastError();
void SetLastError(DWORD code);
// The system's text for an error code, without a line break at its end;
// 0 for a code it has no text for.
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     void* arguments);

// Runtime library: files, text-mode lines of at most 1023 bytes by fgets
FILE* _wfopen(LPCWSTR path, LPCWSTR mode);
int _wtoi(const WCHAR* text);
// Formats as the handheld's wsprintfW: %d %u %s (wide) %hs (8-bit text,
// widened through Windows-1252) %c %%. Output is at most 1024 characters.
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
void Sleep(DWORD milliseconds);

// Files: a temporary file written whole through a handle, flushed to the
// disk, and put in another's place by one rename. Failures leave the
// system's code for GetLastError.
typedef void* HANDLE;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define GENERIC_WRITE 0x40000000UL
#define CREATE_NEW 1
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_NORMAL 0x80
#define MOVEFILE_REPLACE_EXISTING 0x1
#define MOVEFILE_WRITE_THROUGH 0x8  // returns once the move is on the disk
#define ERROR_BUFFER_OVERFLOW 111L
// With `unique` 0: creates a new empty file of a name no other writer uses,
// folder/PPPXXXX.TMP (PPP the prefix's first three characters, XXXX hex),
// into `name` (260 characters), and returns its number; 0 on failure. The
// file is never made through an existing name or a link. It stays this
// process's until moved away or deleted: files of that form in the folder
// that no running writer holds (left by one that was killed) are removed
// first.
UINT GetTempFileNameW(LPCWSTR folder, LPCWSTR prefix, UINT unique, LPWSTR name);
// Only GENERIC_WRITE, with CREATE_NEW (a new file, never through an existing
// name or a link) or TRUNCATE_EXISTING (an existing regular file emptied,
// never through a link; a temporary file only while it is the one this
// process made).
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD shareMode, const void* security, DWORD creation, DWORD flags,
                   HANDLE templateFile);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* written, void* overlapped);
BOOL FlushFileBuffers(HANDLE file);
BOOL CloseHandle(HANDLE file);
BOOL DeleteFileW(LPCWSTR path);
BOOL MoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags);

// Locale
#define LOCALE_USER_DEFAULT 0x400
#define TIME_NOMINUTESORSECONDS 0x1
#define TIME_NOSECONDS 0x2
#define TIME_NOTIMEMARKER 0x4
#define TIME_FORCE24HOURFORMAT 0x8
int GetDateFormatW(DWORD locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR picture, LPWSTR out, int outSize);
int GetTimeFormatW(DWORD locale, DWORD flags, const SYSTEMTIME* time, LPCWSTR picture, LPWSTR out, int outSize);

// Registry
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<UINT_PTR>(0x80000002)))
#define REG_NONE 0
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2
LONG RegOpenKeyExW(HKEY root, LPCWSTR subKey, DWORD options, DWORD access, HKEY* result);
LONG RegCreateKeyExW(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, DWORD access, const void* security, HKEY* result, DWORD* disposition);
LONG RegQueryValueExW(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataSize);
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize);
// What is set through an open key is seen at once by this process and
// reaches the disk, all of it in one atomic replace, when the key is flushed
// or closed; either returns the error of that write.
LONG RegFlushKey(HKEY key);
LONG RegCloseKey(HKEY key);

// Resources
#define RT_BITMAP MAKEINTRESOURCEW(2)
#define RT_MENU MAKEINTRESOURCEW(4)
#define RT_DIALOG MAKEINTRESOURCEW(5)
#define RT_STRING MAKEINTRESOURCEW(6)
#define RT_RCDATA MAKEINTRESOURCEW(10)
#define RT_GROUP_ICON MAKEINTRESOURCEW(14)
#define IS_INTRESOURCE(p) ((reinterpret_cast<UINT_PTR>(p) >> 16) == 0)

// One control of a dialog template; rectangles in dialog units.
struct DLGITEMTEMPLATEW {
    DWORD style;            // WS_, SS_, LVS_... bits
    DWORD dwExtendedStyle;  // WS_EX_ bits
    short x, y, cx, cy;     // rectangle in dialog units
    WORD id;                // control ID, 0xFFFF for none
    LPCWSTR windowClass;    // "STATIC", "SysListView32", ...
    LPCWSTR title;          // initial text, or NULL
    WORD resource;          // bitmap or icon ID of a picture control, 0 for none
};

// A dialog template as the resource compiler lays it out, in structured form.
struct DLGTEMPLATEW {
    DWORD style;                     // WS_ and DS_ bits
    DWORD dwExtendedStyle;           // WS_EX_ bits
    short x, y, cx, cy;              // rectangle in dialog units
    LPCWSTR title;                   // caption
    WORD pointSize;                  // font size (DS_SETFONT)
    LPCWSTR typeface;                // font face (DS_SETFONT)
    WORD cdit;                       // number of controls
    const DLGITEMTEMPLATEW* items;   // the controls in template order
};

// One resource of the module: its type, numeric ID and data.
struct RESOURCEENTRY {
    LPCWSTR type;       // RT_ value
    WORD id;            // resource ID
    const void* data;   // DLGTEMPLATEW, menu, string or image bytes
    DWORD size;         // bytes of data
};

struct RESOURCETABLE {
    const RESOURCEENTRY* entries;  // all resources of the module
    int count;                     // number of entries
};

// The words of a picture, each at its place (RT_RCDATA under the picture's
// ID): a screen reader's heading for the figures standing under it.
struct PICTUREWORD {
    short x;       // the word's middle, in pixels from the picture's left
    LPCWSTR word;  // the word
};

struct PICTUREWORDS {
    int count;                  // number of words
    const PICTUREWORD* words;   // left to right
};

// The program's resources, compiled into it as a resource script would be.
extern const RESOURCETABLE g_moduleResources;

HINSTANCE GetModuleHandleW(LPCWSTR moduleName);
HRSRC FindResourceW(HINSTANCE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HINSTANCE module, HRSRC resource);
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int bufferSize);

// Windows and messages
typedef INT_PTR (*DLGPROC)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#define WM_DESTROY 0x0002
#define WM_SIZE 0x0005
#define WM_ACTIVATE 0x0006
#define WM_SETTEXT 0x000C
#define WM_GETTEXT 0x000D
#define WM_GETTEXTLENGTH 0x000E
#define WM_PAINT 0x000F
#define WM_CLOSE 0x0010
#define WM_ERASEBKGND 0x0014
#define WM_NOTIFY 0x004E
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_TIMER 0x0113
#define WM_CTLCOLORSTATIC 0x0138
#define WM_USER 0x0400

#define SIZE_RESTORED 0
#define SIZE_MINIMIZED 1
#define WA_INACTIVE 0
#define WA_ACTIVE 1
#define WA_CLICKACTIVE 2

#define IDOK 1
#define IDCANCEL 2

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5
#define SW_MINIMIZE 6

#define WS_POPUP 0x80000000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_DISABLED 0x08000000L
#define WS_CAPTION 0x00C00000L
#define WS_BORDER 0x00800000L
#define WS_VSCROLL 0x00200000L
#define WS_HSCROLL 0x00100000L
#define WS_SYSMENU 0x00080000L
#define WS_GROUP 0x00020000L
#define WS_TABSTOP 0x00010000L
#define DS_SETFONT 0x40L
#define DS_MODALFRAME 0x80L
#define DS_CENTER 0x0800L

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
HWND GetDlgItem(HWND dialog, int id);
// A control's dialog, or the window that owns a message box.
HWND GetParent(HWND window);
int GetDlgCtrlID(HWND control);
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);
BOOL ShowWindow(HWND window, int command);
BOOL UpdateWindow(HWND window);
BOOL SetForegroundWindow(HWND window);
BOOL DestroyWindow(HWND window);
BOOL SetWindowTextW(HWND window, LPCWSTR text);
int GetWindowTextW(HWND window, LPWSTR buffer, int bufferSize);

// Dialogs
INT_PTR DialogBoxIndirectParamW(HINSTANCE module, const DLGTEMPLATEW* dialogTemplate, HWND owner, DLGPROC procedure, LPARAM initParam);
BOOL EndDialog(HWND dialog, INT_PTR result);

// Message boxes
#define MB_OK 0x0L
#define MB_OKCANCEL 0x1L
#define MB_ICONHAND 0x10L
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONSTOP MB_ICONHAND
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Window search: top-level windows of every process, by exact caption
HWND FindWindowW(LPCWSTR className, LPCWSTR caption);

// Common controls
#define ICC_DATE_CLASSES 0x100
struct INITCOMMONCONTROLSEX {
    DWORD dwSize;  // size of this record
    DWORD dwICC;   // ICC_ classes to register
};
void InitCommonControls();
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* classes);

// Entry: the program supplies WinMain; the platform's start-up code calls it.
int WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);

// Geometry
#define HWND_TOP (reinterpret_cast<HWND>(0))
#define HWND_TOPMOST (reinterpret_cast<HWND>(-1))
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOZORDER 0x0004
#define SWP_SHOWWINDOW 0x0040
#define SWP_HIDEWINDOW 0x0080
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int width, int height, UINT flags);
BOOL GetWindowRect(HWND window, RECT* rect);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);

// Cursors and timers
#define IDC_WAIT MAKEINTRESOURCEW(32514)
HCURSOR LoadCursorW(HINSTANCE module, LPCWSTR cursorName);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT milliseconds, void* timerProc);
BOOL KillTimer(HWND window, UINT_PTR id);

// Notifications
struct NMHDR {
    HWND hwndFrom;  // the control that sends it
    UINT_PTR idFrom;  // its ID
    UINT code;      // what happened
};

// Common controls: list view
#define LVS_REPORT 0x0001
#define LVS_SINGLESEL 0x0004
#define LVS_SHOWSELALWAYS 0x0008
#define LVS_SORTASCENDING 0x0010
#define LVS_ALIGNLEFT 0x0800
#define LVS_NOCOLUMNHEADER 0x4000
#define LVS_EX_GRIDLINES 0x00000001
#define LVS_EX_FULLROWSELECT 0x00000020
#define LVM_FIRST 0x1000
#define LVM_GETITEMCOUNT (LVM_FIRST + 4)
#define LVM_DELETEITEM (LVM_FIRST + 8)
#define LVM_DELETEALLITEMS (LVM_FIRST + 9)
#define LVM_GETITEMRECT (LVM_FIRST + 14)
#define LVM_ENSUREVISIBLE (LVM_FIRST + 19)
#define LVM_GETTOPINDEX (LVM_FIRST + 39)
#define LVM_SETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 54)
#define LVM_GETEXTENDEDLISTVIEWSTYLE (LVM_FIRST + 55)
#define LVM_GETITEMW (LVM_FIRST + 75)
#define LVM_SETITEMW (LVM_FIRST + 76)
#define LVM_INSERTITEMW (LVM_FIRST + 77)
#define LVM_INSERTCOLUMNW (LVM_FIRST + 97)
#define LVM_GETITEMTEXTW (LVM_FIRST + 115)
#define LVM_SETITEMTEXTW (LVM_FIRST + 116)
#define LVIF_TEXT 0x0001
#define LVCF_FMT 0x0001
#define LVCF_WIDTH 0x0002
#define LVCF_TEXT 0x0004
#define LVCF_SUBITEM 0x0008
#define LVCFMT_LEFT 0x0000
#define LVCFMT_RIGHT 0x0001
#define LVCFMT_CENTER 0x0002
#define LVIR_BOUNDS 0
#define LVN_FIRST (0U - 100U)
#define LVN_ENDSCROLL (LVN_FIRST - 81)

struct LVITEMW {
    UINT mask;        // LVIF_ bits
    int iItem;        // row
    int iSubItem;     // column
    UINT state;       // unused
    UINT stateMask;   // unused
    LPWSTR pszText;   // text in, or buffer out
    int cchTextMax;   // buffer size in characters
    int iImage;       // unused
    LPARAM lParam;    // unused
};

struct LVCOLUMNW {
    UINT mask;        // LVCF_ bits
    int fmt;          // LVCFMT_ alignment
    int cx;           // width in pixels
    LPWSTR pszText;   // header text
    int cchTextMax;   // unused
    int iSubItem;     // the sub-item shown
};

// Common controls: tab control
#define TCS_FOCUSNEVER 0x8000
#define TCM_FIRST 0x1300
#define TCM_GETITEMCOUNT (TCM_FIRST + 4)
#define TCM_GETCURSEL (TCM_FIRST + 11)
#define TCM_SETCURSEL (TCM_FIRST + 12)
#define TCM_INSERTITEMW (TCM_FIRST + 62)
#define TCIF_TEXT 0x0001
#define TCN_FIRST (0U - 550U)
#define TCN_SELCHANGE (TCN_FIRST - 1)
#define TCN_SELCHANGING (TCN_FIRST - 2)

struct TCITEMW {
    UINT mask;        // TCIF_ bits
    DWORD dwState;    // unused
    DWORD dwStateMask;  // unused
    LPWSTR pszText;   // tab text
    int cchTextMax;   // unused
    int iImage;       // image index, -1 for none
    LPARAM lParam;    // unused
};

// Combo box and list box
#define CBS_DROPDOWNLIST 0x0003
#define CBS_SORT 0x0100
#define CB_ERR (-1)
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXTLEN 0x0149
#define CB_ADDSTRING 0x0143
#define CB_RESETCONTENT 0x014B
#define CB_SETCURSEL 0x014E
#define CB_GETITEMDATA 0x0150
#define CB_SETITEMDATA 0x0151
#define CBN_SELCHANGE 1
#define CBN_DROPDOWN 7
#define LBS_NOTIFY 0x0001
#define LBS_SORT 0x0002
#define LBS_NOINTEGRALHEIGHT 0x0100
#define LB_ERR (-1)
#define LB_ADDSTRING 0x0180
#define LB_RESETCONTENT 0x0184
#define LB_GETTEXT 0x0189
#define LB_GETTEXTLEN 0x018A
#define LB_GETCOUNT 0x018B

// Static controls and buttons
#define SS_LEFT 0x0000
#define SS_CENTER 0x0001
#define SS_RIGHT 0x0002
#define SS_ICON 0x0003
#define SS_BITMAP 0x000E
#define SS_CENTERIMAGE 0x0200
#define BS_PUSHBUTTON 0x0000
#define BS_GROUPBOX 0x0007
#define BN_CLICKED 0

// Shell: full-screen dialogs, the menu bar, the Done button
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHDB_SHOW 0x0001
#define SHDB_HIDE 0x0002
#define SHCMBF_EMPTYBAR 0x0001
#define I_IMAGENONE (-2)
#define TBSTATE_ENABLED 0x04
#define TBSTYLE_DROPDOWN 0x08
#define TBSTYLE_AUTOSIZE 0x10

struct SHINITDLGINFO {
    DWORD dwMask;   // SHIDIM_ bits
    HWND hDlg;      // the dialog
    DWORD dwFlags;  // SHIDIF_ bits
};

struct SHMENUBARINFO {
    DWORD cbSize;        // size of this record
    HWND hwndParent;     // the window that gets the menu's commands
    DWORD dwFlags;       // SHCMBF_ bits
    UINT nToolBarId;     // menu bar resource
    HINSTANCE hInstRes;  // module holding it
    int nBmpId;          // button images, 0 for none
    int cBmpImages;      // number of images
    HWND hwndMB;         // out: the menu bar
};

// A drop-down button of a menu bar resource (RT_RCDATA).
struct MENUBARBUTTON {
    int iBitmap;        // I_IMAGENONE
    int idCommand;      // command ID of the button
    BYTE fsState;       // TBSTATE_ bits
    BYTE fsStyle;       // TBSTYLE_ bits
    UINT idString;      // string resource of its caption
    int popup;          // index of the pop-up of the menu it opens
};

struct MENUBARTEMPLATE {
    UINT menuId;                    // the menu resource holding the pop-ups
    int count;                      // number of buttons
    const MENUBARBUTTON* buttons;   // the buttons, left to right
};

// One item of a menu resource (RT_MENU); a separator has ID 0 and no text.
struct MENUITEMTEMPLATE {
    UINT id;          // command ID
    LPCWSTR text;     // item text, NULL for a separator
};

struct MENUPOPUPTEMPLATE {
    LPCWSTR text;                   // the pop-up's caption
    int count;                      // number of items
    const MENUITEMTEMPLATE* items;  // its items
};

struct MENUTEMPLATE {
    int count;                       // number of pop-ups
    const MENUPOPUPTEMPLATE* popups; // the pop-ups
};

BOOL SHInitDialog(const SHINITDLGINFO* info);
BOOL SHCreateMenuBar(SHMENUBARINFO* info);
BOOL SHDoneButton(HWND dialog, DWORD state);

// Painting
#define TRANSPARENT 1
#define OPAQUE 2
#define WHITE_BRUSH 0
#define DT_CENTER 0x0001
#define DT_SINGLELINE 0x0020
#define OEM_CHARSET 255
#define FF_ROMAN 0x10
#define FW_BOLD 700
#define RGB(r, g, b) (static_cast<COLORREF>((r) | ((g) << 8) | ((b) << 16)))
#define LF_FACESIZE 32

struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};

struct PAINTSTRUCT {
    HDC hdc;          // the control's drawing context
    BOOL fErase;      // background to be erased
    RECT rcPaint;     // the area to paint
};

HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
HFONT CreateFontIndirectW(const LOGFONTW* font);
HGDIOBJ SelectObject(HDC context, HGDIOBJ object);
BOOL DeleteObject(HGDIOBJ object);
int SetBkMode(HDC context, int mode);
COLORREF SetTextColor(HDC context, COLORREF color);
int DrawTextW(HDC context, LPCWSTR text, int length, RECT* rect, UINT format);
HGDIOBJ GetStockObject(int object);

// Internet (HTTP)
typedef uintptr_t DWORD_PTR;
typedef uint64_t ULONGLONG;
#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_SERVICE_HTTP 3
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_FLAG_RELOAD 0x80000000
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000
#define HTTP_QUERY_CONTENT_LENGTH 5
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_STATUS_TEXT 20
#define HTTP_QUERY_FLAG_NUMBER 0x20000000
#define HTTP_QUERY_FLAG_NUMBER64 0x08000000
#define ERROR_INTERNET_OUT_OF_HANDLES 12001
#define ERROR_INTERNET_TIMEOUT 12002
#define ERROR_INTERNET_INTERNAL_ERROR 12004
#define ERROR_INTERNET_INVALID_URL 12005
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007
#define ERROR_INTERNET_OPERATION_CANCELLED 12017
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018
#define ERROR_INTERNET_INCORRECT_HANDLE_STATE 12019
#define ERROR_INTERNET_CANNOT_CONNECT 12029
#define ERROR_INTERNET_CONNECTION_ABORTED 12030
#define ERROR_INTERNET_CONNECTION_RESET 12031
#define ERROR_HTTP_HEADER_NOT_FOUND 12150
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152

HINTERNET InternetOpenW(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
HINTERNET InternetConnectW(HINTERNET session, LPCWSTR serverName, WORD port, LPCWSTR userName, LPCWSTR password,
                           DWORD service, DWORD flags, DWORD_PTR context);
HINTERNET HttpOpenRequestW(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version, LPCWSTR referrer,
                           LPCWSTR* acceptTypes, DWORD flags, DWORD_PTR context);
BOOL HttpSendRequestW(HINTERNET request, LPCWSTR headers, DWORD headersLength, void* optional, DWORD optionalLength);
BOOL HttpQueryInfoW(HINTERNET request, DWORD infoLevel, void* buffer, DWORD* bufferLength, DWORD* index);
BOOL InternetReadFile(HINTERNET request, void* buffer, DWORD bytesToRead, DWORD* bytesRead);
BOOL InternetCloseHandle(HINTERNET handle);

// Processes
struct PROCESS_INFORMATION;
struct STARTUPINFOW;
BOOL CreateProcessW(LPCWSTR applicationName, LPWSTR commandLine, const void* processAttributes, const void* threadAttributes,
                    BOOL inheritHandles, DWORD creationFlags, void* environment, LPCWSTR currentDirectory,
                    STARTUPINFOW* startupInfo, PROCESS_INFORMATION* processInformation);
