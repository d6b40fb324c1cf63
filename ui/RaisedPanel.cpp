#include "ui/RaisedPanel.h"

#include "ui/ControlIds.h"
#include "ui/Win32Error.h"
#include "ui/WindowClass.h"

namespace ui {

namespace {

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSCROLLBAR:
            return SendMessageW(GetParent(panel), message, wParam, lParam);
        case WM_PAINT: {
            PAINTSTRUCT paint;
            const HDC dc = BeginPaint(panel, &paint);
            RECT edge;
            GetClientRect(panel, &edge);
            DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
            EndPaint(panel, &paint);
            return 0;
        }
        case WM_SIZE:
            // The bevel follows the edges; redraw it whole.
            InvalidateRect(panel, nullptr, TRUE);
            break;
        default:
            break;
    }
    return DefWindowProcW(panel, message, wParam, lParam);
}

}  // namespace

HWND CreateRaisedPanel(HINSTANCE instance, HWND parent, int id, const RECT& bounds) {
    RegisterWindowClass(instance, kPanelClassName, PanelProc,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    return CreateChild(instance, parent, WS_EX_CONTROLPARENT, kPanelClassName, "",
                       WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_GROUP, id, bounds,
                       "CreateWindowEx (panel)");
}

}  // namespace ui
