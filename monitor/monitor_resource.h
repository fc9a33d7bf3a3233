// Control ids of the monitor window; 閉じる is IDCANCEL, so that Esc and the
// close box do what it does.
#pragma once

#define IDC_RECORD 501
#define IDC_SAVE_POSE 502
#define IDC_MONITOR_STATUS 503
#define IDC_KEY 504
#define IDC_UNDO_KEY 505
#define IDC_KEY_HOLD 506
#define IDC_PLAY_KEYS 507
#define IDC_EXPORT_KEYS 508
#define IDC_LINK 509
#define IDC_KEY_HOLD_EDIT 511
#define IDC_KEY_HOLD_LABEL 512
