// Control ids of the capture window and the sample-pose dialog.
#pragma once

#define IDC_VERSION 101
#define IDC_UPPER_BODY 120
#define IDC_LOWER_BODY 121
#define IDC_CHECK_ALL 122
#define IDC_UNCHECK_ALL 123
#define IDC_SAMPLE_POSE 124
#define IDC_PROGRESS 125
#define IDC_POSE_FIRST 401
#define IDC_POSE_LAST 404
