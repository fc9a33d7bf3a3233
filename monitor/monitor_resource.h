// Control ids of the monitor window; 閉じる is IDCANCEL, so that Esc and the
// close box do what it does.
#pragma once

#define IDC_RECORD 501
#define IDC_SAVE_POSE 502
#define IDC_MONITOR_STATUS 503
