#include "hardware_settings/calibration_page_win32.h"

#include <cmath>
#include <cstdio>

#include "model/body_parts.h"
#include "platform/platform_win32.h"
#include "hardware_settings/calibration.h"
#include "hardware_settings/hardware_settings.h"
#include "hardware_settings/page_text_win32.h"
#include "hardware_settings/settings_resource.h"
#include "hardware_settings/settings_sheet_win32.h"

HWND calibrationStatusBar;
int liveTimerActive;
HBITMAP arrowBitmap;
int arrowWidth, arrowHeight;

namespace {

constexpr UINT_PTR liveTimer = 1;
constexpr UINT liveTimerMs = 1000;
constexpr int stepReadLimit = 15;   // so at most 14 characters are read
constexpr int applyReadLimit = 63;  // at most 62
constexpr int defaultArrowSize = 64;
constexpr LONG defaultRightEdge = 487;
constexpr int arrowRightMargin = 16;
constexpr int arrowTop = 1;

// The controls of one axis, in the order of the axis table.
struct AxisControls {
    int live, edit, spin, autoOffset, apply, write;
};

constexpr AxisControls axisControls[3] = {
    {IDC_LIVE_X, IDC_OFFSET_X, IDC_SPIN_X, IDC_AUTO_X, IDC_APPLY_X, IDC_WRITE_X},
    {IDC_LIVE_Y, IDC_OFFSET_Y, IDC_SPIN_Y, IDC_AUTO_Y, IDC_APPLY_Y, IDC_WRITE_Y},
    {IDC_LIVE_Z, IDC_OFFSET_Z, IDC_SPIN_Z, IDC_AUTO_Z, IDC_APPLY_Z, IDC_WRITE_Z},
};

constexpr const char* setFailedFormat = "%s %s (%s) ノードに設定できませんでした。";
constexpr const char* storeFailedFormat = "%s %s (%s) ノードに書き込めませんでした。";
char statusMessage[256];

BodyPart& shownPart() { return bodyPartTable[currentPart]; }

void enableItem(HWND page, int id, bool enabled) { EnableWindow(GetDlgItem(page, id), enabled ? TRUE : FALSE); }

void showOffset(HWND page, int editId, float counts) { setItemFormatted(page, editId, "%.1f", counts); }

void enableWriteWhenUnstored(HWND page, Axis axis) {
    const BodyPart& part = shownPart();
    enableItem(page, axisControls[axis].write, part.offsetStored[axis] != part.offsetActive[axis]);
}

// The value of an offset edit: 1 with the number, or 0 (value 0) when the
// text is no number.
int readOffsetEdit(HWND page, int editId, int limit, float& value) {
    char text[3 * 64];  // three UTF-8 bytes at most per character read
    readItemText(page, editId, limit, text, sizeof text);
    return readOffsetText(text, value);
}

// `format` takes the time of day, then the part's label and name.
void reportFailure(const char* format) {
    const BodyPart& part = shownPart();
    std::snprintf(statusMessage, sizeof statusMessage, format, formatTimeOfDay(), part.label, part.name);
    setStatusText(calibrationStatusBar, statusMessage);
}

// The edit class's own procedure, under the offset edits' (the same for all three).
WNDPROC editClassProc;

// Enter in an offset edit is its axis's 仮設定, with the focus left in the edit.
// A single-line edit leaves Enter to the dialog manager, which would press the
// sheet's default button, whichever that is then; asked for its dialog code
// with Enter in hand (WM_GETDLGCODE carries the key's message), the edit now
// wants the key, and takes it here whatever the default button. The character
// the key makes is dropped, so that the edit neither beeps nor passes it on.
LRESULT CALLBACK offsetEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* key = reinterpret_cast<const MSG*>(lParam);
    switch (message) {
    case WM_GETDLGCODE:
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN)
            return CallWindowProcW(editClassProc, edit, message, wParam, lParam) | DLGC_WANTMESSAGE;
        break;
    case WM_KEYDOWN:
        if (wParam != VK_RETURN) break;
        applyOffset(GetParent(edit), static_cast<Axis>(GetDlgCtrlID(edit) - IDC_OFFSET_X));
        return 0;
    case WM_CHAR:
        if (wParam == '\r') return 0;
        break;
    }
    return CallWindowProcW(editClassProc, edit, message, wParam, lParam);
}

void initPage(HWND page) {
    loadArrowBitmap();
    fillPartSelector(page);
    showSelectedPart(page);
    calibrationStatusBar = createPageStatusBar(page, IDC_CALIBRATION_STATUS);
    for (const AxisControls& controls : axisControls)
        editClassProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            GetDlgItem(page, controls.edit), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(offsetEditProc)));
    liveTimerActive = 1;
    SetTimer(page, liveTimer, liveTimerMs, liveReadingTimer);
}

// The buttons 212-220 in threes per axis: 自動算出, 仮設定, 書込.
INT_PTR onCommand(HWND page, int id, int code) {
    if (id >= IDC_AUTO_X && id <= IDC_WRITE_Z) {
        Axis axis = static_cast<Axis>((id - IDC_AUTO_X) / 3);
        switch ((id - IDC_AUTO_X) % 3) {
        case 0: computeAutoOffset(page, axis); break;
        case 1: applyOffset(page, axis); break;
        case 2: writeOffset(page, axis); break;
        }
        return TRUE;
    }
    // Any code 1 counts as the selector's CBN_SELCHANGE, whatever its sender.
    if (code != CBN_SELCHANGE) return FALSE;
    showSelectedPart(page);
    setStatusText(calibrationStatusBar, "");
    return TRUE;
}

INT_PTR onSpin(HWND page, HWND bar, int code) {
    int barId = GetDlgCtrlID(bar);
    if (barId < IDC_SPIN_X || barId > IDC_SPIN_Z) return FALSE;
    int editId = axisControls[barId - IDC_SPIN_X].edit;
    switch (code) {
    case SB_LINEUP:   stepOffset(page, editId, offsetStep); return TRUE;
    case SB_LINEDOWN: stepOffset(page, editId, -offsetStep); return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR CALLBACK calibrationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: initPage(page); askToFitPage(page); return TRUE;
    case fitPageMessage: fitSheetToPage(page, static_cast<int>(wParam), static_cast<int>(lParam)); return TRUE;
    case WM_DESTROY:    liveTimerActive = 0; KillTimer(page, liveTimer); return TRUE;
    case WM_PAINT:      paintArrow(page); return TRUE;
    case WM_SIZE:       placeStatusBar(calibrationStatusBar); return TRUE;
    case WM_NOTIFY:     return answerPageNotify(page, reinterpret_cast<const NMHDR*>(lParam), calibrationStatusBar);
    case WM_COMMAND:    return onCommand(page, LOWORD(wParam), HIWORD(wParam));
    case WM_VSCROLL:    return onSpin(page, reinterpret_cast<HWND>(lParam), LOWORD(wParam));
    }
    return FALSE;
}

void loadArrowBitmap() {
    if (arrowBitmap != nullptr) return;
    arrowBitmap = LoadBitmapW(appInstance, L"BmpArrow");
    if (arrowBitmap == nullptr) return;
    BITMAP info;
    if (GetObjectW(arrowBitmap, sizeof info, &info) == static_cast<int>(sizeof info)) {
        arrowWidth = info.bmWidth;
        arrowHeight = info.bmHeight;
    } else {
        arrowWidth = arrowHeight = defaultArrowSize;
    }
}

// The paint cycle always ends here, drawn or not (BeginPaint and EndPaint
// validate the page), so the page is not asked to paint again and again.
void paintArrow(HWND page) {
    PAINTSTRUCT paint;
    if (arrowBitmap == nullptr) {
        BeginPaint(page, &paint);
        EndPaint(page, &paint);
        return;
    }
    RECT client;
    if (!GetClientRect(page, &client)) client.right = defaultRightEdge;
    HDC target = BeginPaint(page, &paint);
    if (target != nullptr) {
        HDC source = CreateCompatibleDC(target);
        HGDIOBJ previous = SelectObject(source, arrowBitmap);
        BitBlt(target, client.right - arrowWidth - arrowRightMargin, arrowTop, arrowWidth, arrowHeight, source, 0, 0,
               SRCCOPY);
        SelectObject(source, previous);
        DeleteDC(source);
    }
    EndPaint(page, &paint);
}

void fillPartSelector(HWND page) {
    HWND selector = GetDlgItem(page, IDC_PART_SELECTOR);
    for (const BodyPart& part : bodyPartTable) {
        if (part.flags & NoNode) continue;
        char item[64];
        wchar_t wide[64];
        std::snprintf(item, sizeof item, "%s (%s)", part.label, part.name);
        toWide(item, wide, 64);
        SendMessageW(selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
    }
    currentPart = 0;
    SendMessageW(selector, CB_SETCURSEL, 0, 0);
}

void showSelectedPart(HWND page) {
    LRESULT selected = SendDlgItemMessageW(page, IDC_PART_SELECTOR, CB_GETCURSEL, 0, 0);
    currentPart = 0;  // hip, when nothing matches the selection
    for (int row = 0, count = 0; row < bodyPartCount; ++row) {
        if (bodyPartTable[row].flags & NoNode) continue;
        if (count++ == selected) {
            currentPart = row;
            break;
        }
    }
    const BodyPart& part = shownPart();
    setItemFormatted(page, IDC_FIRMWARE, "%u", part.firmwareVersion);
    for (int id : {IDC_LIVE_X, IDC_LIVE_Y, IDC_LIVE_Z, IDC_GRAVITY}) setItemText(page, id, "");
    for (const AxisControls& controls : axisControls) enableItem(page, controls.autoOffset, false);
    for (Axis axis : {AxisX, AxisY, AxisZ}) {
        showOffset(page, axisControls[axis].edit, part.offsetActive[axis] * 0.5f);
        enableWriteWhenUnstored(page, axis);
    }
}

void stepOffset(HWND page, int editId, float delta) {
    HWND edit = GetDlgItem(page, editId);
    if (!IsWindowEnabled(edit)) return;
    float value;
    float next = readOffsetEdit(page, editId, stepReadLimit, value) ? clampOffset(clampOffset(value) + delta) : 0.0f;
    showOffset(page, editId, next);
    SetFocus(edit);
}

void CALLBACK liveReadingTimer(HWND page, UINT, UINT_PTR, DWORD) {
    if (!liveTimerActive) return;
    BodyPart& part = shownPart();
    // Read aside: a failed reading leaves the page and the row as they were.
    std::int8_t reading[3];
    if (!readLiveReading(part.nodeAddress, reading)) return;
    for (Axis axis : {AxisX, AxisY, AxisZ}) {
        part.liveReading[axis] = reading[axis];
        setItemFormatted(page, axisControls[axis].live, "%d", reading[axis]);
        enableItem(page, axisControls[axis].autoOffset, true);
    }
    double x = reading[0], y = reading[1], z = reading[2];
    setItemFormatted(page, IDC_GRAVITY, "%.1f", std::sqrt(x * x + y * y + z * z));
}

void computeAutoOffset(HWND page, Axis axis) {
    const BodyPart& part = shownPart();
    showOffset(page, axisControls[axis].edit, autoOffset(axis, part.offsetActive[axis], part.liveReading[axis]));
}

void applyOffset(HWND page, Axis axis) {
    float value;
    float counts = readOffsetEdit(page, axisControls[axis].edit, applyReadLimit, value) ? clampOffset(value) : 0.0f;
    showOffset(page, axisControls[axis].edit, counts);
    auto halfCounts = static_cast<std::int16_t>(counts * 2);  // exact: counts is a multiple of 0.5 in range
    BodyPart& part = shownPart();
    if (halfCounts != part.offsetActive[axis] && !setActiveOffset(part.nodeAddress, axis, halfCounts)) {
        reportFailure(setFailedFormat);
        return;
    }
    part.offsetActive[axis] = halfCounts;
    enableWriteWhenUnstored(page, axis);
}

void writeOffset(HWND page, Axis axis) {
    BodyPart& part = shownPart();
    if (!storeOffset(part.nodeAddress, axis, part.offsetActive[axis])) {
        reportFailure(storeFailedFormat);
        return;
    }
    showOffset(page, axisControls[axis].edit, part.offsetActive[axis] * 0.5f);
    SetFocus(GetDlgItem(GetParent(page), IDCANCEL));
    part.offsetStored[axis] = part.offsetActive[axis];
    HWND button = GetDlgItem(page, axisControls[axis].write);
    SendMessageW(button, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    EnableWindow(button, FALSE);
}
