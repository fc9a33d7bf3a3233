// Control ids of the two settings pages. The three axes of the calibration
// page follow each other: live value 203-205, offset edit 206-208, spin bar
// 209-211, and the buttons 自動算出, 仮設定, 書込 from 212 in threes.
#pragma once

#define IDC_PART_SELECTOR 201
#define IDC_FIRMWARE 202
#define IDC_LIVE_X 203
#define IDC_LIVE_Y 204
#define IDC_LIVE_Z 205
#define IDC_OFFSET_X 206
#define IDC_OFFSET_Y 207
#define IDC_OFFSET_Z 208
#define IDC_SPIN_X 209
#define IDC_SPIN_Y 210
#define IDC_SPIN_Z 211
#define IDC_AUTO_X 212
#define IDC_APPLY_X 213
#define IDC_WRITE_X 214
#define IDC_AUTO_Y 215
#define IDC_APPLY_Y 216
#define IDC_WRITE_Y 217
#define IDC_AUTO_Z 218
#define IDC_APPLY_Z 219
#define IDC_WRITE_Z 220
#define IDC_GRAVITY 221

#define IDC_BUILT_IN_UNIT 301
#define IDC_EXTERNAL_UNIT 302
#define IDC_SEND_SOURCE 303

#define IDC_CALIBRATION_STATUS 1
#define IDC_SWITCH_STATUS 2
