// Identifiers of the program's resources and dialog controls; read by the C++ code and by windres.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX                100
#define IDD_MAIN                    102
#define IDD_TIP                     132

// String table.
#define IDS_ABOUTBOX                101
#define IDS_SOCKETS_INIT_FAILED     103

// Icon: the program's logo mark.
#define IDR_MAINFRAME               128

// System-menu command of the About item.
#define IDM_ABOUTBOX                0x0010

// Controls of the main dialog.
#define IDC_DOWNLOAD                1000
#define IDC_STOP                    1001
#define IDC_PROGRESS                1002
#define IDC_PERCENT                 1003
#define IDC_MINIMIZE                1004
#define IDC_EXIT                    1005
#define IDC_INSTALL                 1006
#define IDC_GIVEUP                  1007
// The size text: winuser.h already defines IDC_SIZE (a system cursor), so this one has a longer name.
#define IDC_FILE_SIZE               1008
#define IDC_PATH                    1009
#define IDC_BROWSE                  1010
#define IDC_REDOWNLOAD              1011
#define IDC_SPEED                   1012

// Controls of the confirmation dialog (the numbers overlap the main dialog's on purpose).
#define IDC_TIP_OK                  1005
#define IDC_TIP_CANCEL              1006
#define IDC_TIP_CLOSE               1007

// Static controls without an identifier (same definition as the system's resource headers).
#ifndef IDC_STATIC
#define IDC_STATIC                  (-1)
#endif

// Bitmaps. Button images come in threes: normal, pressed, hover (the Download button numbers its hover
// image before its pressed one).
#define IDB_DOWNLOAD_NORMAL         129
#define IDB_DOWNLOAD_HOVER          130
#define IDB_DOWNLOAD_PRESSED        131
#define IDB_BG_READY                132
#define IDB_MINIMIZE_NORMAL         134
#define IDB_MINIMIZE_PRESSED        135
#define IDB_MINIMIZE_HOVER          136
#define IDB_CLOSE_NORMAL            137
#define IDB_CLOSE_PRESSED           138
#define IDB_CLOSE_HOVER             139
#define IDB_INSTALL_NORMAL          140
#define IDB_INSTALL_PRESSED         141
#define IDB_INSTALL_HOVER           142
#define IDB_REDOWNLOAD_NORMAL       143
#define IDB_REDOWNLOAD_PRESSED      144
#define IDB_REDOWNLOAD_HOVER        145
#define IDB_BROWSE_NORMAL           146
#define IDB_BROWSE_PRESSED          147
#define IDB_BROWSE_HOVER            148
#define IDB_BG_DOWNLOADING          149
#define IDB_BG_DOWNLOAD_FAILED      150
#define IDB_BG_COMPLETED            151
#define IDB_MINIMIZE_DARK_NORMAL    152
#define IDB_MINIMIZE_DARK_PRESSED   153
#define IDB_MINIMIZE_DARK_HOVER     154
#define IDB_CLOSE_DARK_NORMAL       155
#define IDB_CLOSE_DARK_PRESSED      156
#define IDB_CLOSE_DARK_HOVER        157
#define IDB_BROWSE_DARK_NORMAL      158
#define IDB_BROWSE_DARK_PRESSED     159
#define IDB_BROWSE_DARK_HOVER       160
#define IDB_BG_TIP                  161
#define IDB_TIP_CLOSE_NORMAL        162
#define IDB_TIP_CLOSE_PRESSED       163
#define IDB_TIP_CLOSE_HOVER         164
#define IDB_TIP_OK_NORMAL           165
#define IDB_TIP_OK_PRESSED          166
#define IDB_TIP_OK_HOVER            167
#define IDB_TIP_CANCEL_NORMAL       168
#define IDB_TIP_CANCEL_PRESSED      169
#define IDB_TIP_CANCEL_HOVER        170
#define IDB_BG_INSTALL_FAILED       171
