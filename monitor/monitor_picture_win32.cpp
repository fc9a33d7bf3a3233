#include "monitor/monitor_picture_win32.h"

#include <iterator>

#include "model/body_parts.h"
#include "platform/platform_win32.h"

namespace {

// The three views side by side, each a 200 cm square scaled into a third of
// the picture: from the front (X right, Y up), from the figure's right side
// (Z right, so it faces right), and from above (X right, the front down).
struct View {
    const char* name;
    int across, up;        // world axes on the screen's x and y, up < 0: Z downwards
    double centreAcross, centreUp;
};

constexpr View views[3] = {
    {"正面", 0, 1, 0.0, 90.0},
    {"側面", 2, 1, 0.0, 90.0},
    {"上面", 0, -1, 0.0, 0.0},
};
constexpr double viewSpan = 200.0;  // centimetres across a view
constexpr COLORREF figureColour = RGB(32, 32, 96);
constexpr COLORREF onionColour = RGB(200, 206, 228);  // the last key, faint under the figure

POINT project(const View& view, const RECT& area, double scale, const double point[3]) {
    double across = point[view.across] - view.centreAcross;
    double up = view.up >= 0 ? point[view.up] - view.centreUp : -point[2];
    LONG x = (area.left + area.right) / 2 + static_cast<LONG>(across * scale);
    LONG y = (area.top + area.bottom) / 2 - static_cast<LONG>(up * scale);
    return POINT{x, y};
}

void drawSegment(HDC dc, HPEN pen, POINT from, POINT to) {
    SelectObject(dc, pen);
    MoveToEx(dc, from.x, from.y, nullptr);
    LineTo(dc, to.x, to.y);
}

// Each part is a line from its joint to each child's joint, or to its end
// point when it has no child: thicker for parts with a node, red for a part
// whose node failed in the latest frame.
void drawFigure(HDC dc, const View& view, const RECT& area, double scale, const FigurePose& pose,
                std::uint32_t failedRows, COLORREF colour) {
    const int thickness[2] = {2, 5};
    HPEN pens[2][2];
    for (int node = 0; node < 2; ++node) {
        pens[node][0] = CreatePen(PS_SOLID, thickness[node], colour);
        pens[node][1] = CreatePen(PS_SOLID, thickness[node], RGB(220, 0, 0));
    }
    HGDIOBJ previous = SelectObject(dc, pens[0][0]);
    for (int row = 0; row < bodyPartCount; ++row) {
        const BodyPart& part = bodyPartTable[row];
        HPEN pen = pens[(part.flags & NoNode) ? 0 : 1][failedRows >> row & 1];
        POINT joint = project(view, area, scale, pose.joint[row]);
        bool hasChild = false;
        for (int child = 0; child < bodyPartCount; ++child) {
            if (bodyPartTable[child].parent != row) continue;
            hasChild = true;
            drawSegment(dc, pen, joint, project(view, area, scale, pose.joint[child]));
        }
        if (!hasChild) drawSegment(dc, pen, joint, project(view, area, scale, pose.end[row]));
    }
    SelectObject(dc, previous);
    for (auto& pair : pens)
        for (HPEN pen : pair) DeleteObject(pen);
}

// The floor (Y = 0) across the views from the front and the side.
void drawFloor(HDC dc, const View& view, const RECT& area, double scale) {
    if (view.up != 1) return;
    const double floor[3] = {0.0, 0.0, 0.0};
    LONG y = project(view, area, scale, floor).y;
    if (y <= area.top || y >= area.bottom) return;
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(160, 160, 160));
    HGDIOBJ previous = SelectObject(dc, pen);
    MoveToEx(dc, area.left + 1, y, nullptr);
    LineTo(dc, area.right - 1, y);
    SelectObject(dc, previous);
    DeleteObject(pen);
}

}  // namespace

void drawMonitorPicture(HDC dc, HWND window, const RECT& picture, const FigurePose& pose, std::uint32_t failedRows,
                        const FigurePose* onion) {
    LONG width = (picture.right - picture.left) / 3;
    LONG height = picture.bottom - picture.top;
    double scale = (width < height ? width : height) / viewSpan;
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < 3; ++i) {
        RECT area{picture.left + i * width + 4, picture.top + 4, picture.left + (i + 1) * width - 4, picture.bottom - 4};
        FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        FrameRect(dc, &area, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        wchar_t name[8];
        toWide(views[i].name, name, static_cast<int>(std::size(name)));
        TextOutW(dc, area.left + 4, area.top + 2, name, lstrlenW(name));
        drawFloor(dc, views[i], area, scale);
        if (onion != nullptr) drawFigure(dc, views[i], area, scale, *onion, 0, onionColour);
        drawFigure(dc, views[i], area, scale, pose, failedRows, figureColour);
    }
    SelectObject(dc, oldFont);
}

