// The window's frame, controls and layout, at 96 dpi and after a move to a
// 150 % screen.
#include "platform/win32/WinApi.h"

#include "platform/win32/Utf16.h"
#include "tests/ui/FormFixture.h"

namespace ui_test {
namespace {

using ui::kButton1Id;
using ui::kButton2Id;
using ui::kLabel1Id;
using ui::kLabel2Id;
using ui::kMemo1Id;
using ui::kPanel1Id;

class LayoutTest : public FormTest {
  protected:
    // A control's bounds in its parent's client area.
    RECT BoundsOf(int id) const {
        const HWND control = Item(id);
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }
    static RECT ClientOf(HWND window) {
        RECT client;
        GetClientRect(window, &client);
        return client;
    }
    // The size of a control's one-line text in its own font.
    SIZE TextExtent(int id) const {
        const HWND control = Item(id);
        const std::wstring text = platform::Utf8ToUtf16(ui::GetText(control));
        const HDC dc = GetDC(control);
        const HGDIOBJ previous =
            SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        SIZE extent{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
        SelectObject(dc, previous);
        ReleaseDC(control, dc);
        return extent;
    }
    LOGFONTW FontOf(int id) const {
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Item(id), WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        return font;
    }
    LONG_PTR Style(HWND window) const { return GetWindowLongPtrW(window, GWL_STYLE); }
};

// What a user sees go wrong at any dpi: a control cut off by the window's or
// the panel's edge, two controls over each other, a text cut off.
TEST_F(LayoutTest, NothingIsCutOffOrOverlapsAt96DpiOrAfterAMoveTo150Percent) {
    Open();
    const auto expectUsable = [&](const char* where) {
        SCOPED_TRACE(where);
        for (const auto& siblings : {std::vector{kButton1Id, kButton2Id, kPanel1Id, kLabel2Id},
                                     std::vector{kLabel1Id, kMemo1Id}}) {
            for (std::size_t i = 0; i < siblings.size(); ++i) {
                const RECT box = BoundsOf(siblings[i]);
                const RECT parent = ClientOf(GetParent(Item(siblings[i])));
                RECT both;
                UnionRect(&both, &box, &parent);
                EXPECT_TRUE(EqualRect(&both, &parent)) << siblings[i] << " reaches out";
                for (std::size_t j = 0; j < i; ++j) {
                    const RECT other = BoundsOf(siblings[j]);
                    EXPECT_FALSE(IntersectRect(&both, &box, &other))
                        << siblings[i] << " overlaps " << siblings[j];
                }
            }
        }
        for (int id : {kButton1Id, kButton2Id, kLabel2Id}) {
            const RECT box = BoundsOf(id);
            const SIZE text = TextExtent(id);
            EXPECT_TRUE(text.cx <= box.right - box.left && text.cy <= box.bottom - box.top)
                << Text(id) << " is cut off";
        }
    };
    const auto boxes = [&] {
        std::vector<RECT> all{ClientOf(Form())};
        for (int id : {kButton1Id, kButton2Id, kPanel1Id, kLabel1Id, kMemo1Id})
            all.push_back(BoundsOf(id));
        return all;
    };
    expectUsable("96 dpi");
    const std::vector<RECT> before = boxes();
    const LONG fontHeight = FontOf(kMemo1Id).lfHeight;

    RECT suggested;
    GetWindowRect(Form(), &suggested);
    SendMessageW(Form(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    expectUsable("144 dpi");
    // The window and every control half as large again, to the pixel the
    // rounding allows (the heading sizes itself to its text).
    const std::vector<RECT> after = boxes();
    for (std::size_t i = 0; i < before.size(); ++i) {
        for (auto [was, is] : {std::pair{before[i].left, after[i].left},
                               {before[i].top, after[i].top},
                               {before[i].right, after[i].right},
                               {before[i].bottom, after[i].bottom}})
            EXPECT_NEAR(is, was * 1.5, 1) << "box " << i;
    }
    EXPECT_EQ(FontOf(kMemo1Id).lfHeight, fontHeight * 3 / 2);
}

// A frame that could be resized or maximised would show the fixed layout
// torn; the title and heading are what the user reads first.
TEST_F(LayoutTest, TheWindowIsAFixedDialogInTheMiddleOfTheDesktop) {
    Open();
    EXPECT_EQ(ui::GetText(Form()), "「そらみど+ルトナ」アップデート");
    EXPECT_EQ(Text(kLabel2Id), "「ケルミナ そらみど」を最新版(Ver.1.55B)に更新します。");
    const LONG_PTR frame =
        WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    EXPECT_EQ(Style(Form()) & frame, WS_CAPTION | WS_SYSMENU);
    EXPECT_TRUE(GetWindowLongPtrW(Form(), GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);  // no icon

    const HMENU menu = GetSystemMenu(Form(), FALSE);
    const int count = GetMenuItemCount(menu);
    std::vector<UINT> commands;
    commands.reserve(count > 0 ? static_cast<std::size_t>(count) : 0);
    for (int i = 0; i < count; ++i)
        commands.push_back(GetMenuItemID(menu, i));
    EXPECT_EQ(commands, (std::vector<UINT>{SC_MOVE, 0, SC_CLOSE}));  // 0: the separator

    RECT window;
    GetWindowRect(Form(), &window);
    EXPECT_EQ(window.left - GetSystemMetrics(SM_XVIRTUALSCREEN),
              (GetSystemMetrics(SM_CXVIRTUALSCREEN) - (window.right - window.left)) / 2);
    EXPECT_EQ(window.top - GetSystemMetrics(SM_YVIRTUALSCREEN),
              (GetSystemMetrics(SM_CYVIRTUALSCREEN) - (window.bottom - window.top)) / 2);
}

TEST_F(LayoutTest, ControlsHaveTheirKindsAndStyles) {
    Open();
    // The log wraps a long line rather than hide its end, and scrolls.
    const HWND memo = Item(kMemo1Id);
    SetWindowTextW(memo, std::wstring(400, L'あ').c_str());
    EXPECT_GT(SendMessageW(memo, EM_GETLINECOUNT, 0, 0), 1);
    EXPECT_TRUE(Style(memo) & WS_VSCROLL);
    // The status line: one line, cut at its edge, a path's "&" not an underline.
    const LONG_PTR status = Style(Item(kLabel1Id));
    EXPECT_EQ(status & SS_TYPEMASK, SS_LEFTNOWORDWRAP);
    EXPECT_TRUE(status & SS_NOPREFIX);
    // Enter starts the update, and the button shows that it will.
    EXPECT_EQ(Style(Item(kButton1Id)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(LOWORD(SendMessageW(Form(), DM_GETDEFID, 0, 0)), kButton1Id);
    EXPECT_EQ(ui::GetText(Item(kPanel1Id)), "");
}

// Japanese text in any other face would show as boxes.
TEST_F(LayoutTest, TheWindowFontIsTheDesignedFaceOrAJapaneseSubstitute) {
    Open();
    const LOGFONTW memoFont = FontOf(kMemo1Id);
    EXPECT_EQ(std::wstring(memoFont.lfFaceName), L"ＭＳ Ｐゴシック");  // mapped in the test prefix
    EXPECT_EQ(memoFont.lfCharSet, SHIFTJIS_CHARSET);
}

}  // namespace
}  // namespace ui_test
