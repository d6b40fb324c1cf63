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

struct Box {
    int left, top, width, height;
    friend bool operator==(const Box&, const Box&) = default;
};

void PrintTo(const Box& box, std::ostream* out) {
    *out << "{" << box.left << ", " << box.top << ", " << box.width << " x " << box.height << "}";
}

class LayoutTest : public FormTest {
  protected:
    // A control's bounds in its parent's client area.
    Box BoundsOf(int id) const {
        const HWND control = Item(id);
        RECT rect;
        GetWindowRect(control, &rect);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
        return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    }
    SIZE ClientSize() const {
        RECT client;
        GetClientRect(Form(), &client);
        return {client.right, client.bottom};
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
    LONG_PTR Style(HWND window) const { return GetWindowLongPtrW(window, GWL_STYLE); }
    LONG_PTR ExStyle(HWND window) const { return GetWindowLongPtrW(window, GWL_EXSTYLE); }
};

TEST_F(LayoutTest, ControlsSitWhereTheyWereDesignedAt96Dpi) {
    Open();
    EXPECT_EQ(ClientSize().cx, 574);
    EXPECT_EQ(ClientSize().cy, 348);
    EXPECT_EQ(BoundsOf(kButton1Id), (Box{411, 319, 75, 23}));
    EXPECT_EQ(BoundsOf(kButton2Id), (Box{495, 319, 75, 23}));
    EXPECT_EQ(BoundsOf(kPanel1Id), (Box{6, 43, 563, 267}));
    EXPECT_EQ(BoundsOf(kLabel1Id), (Box{8, 8, 548, 13}));
    EXPECT_EQ(BoundsOf(kMemo1Id), (Box{8, 27, 548, 230}));
    // The heading sizes itself to its text (369 x 13 in the designed face;
    // the substitute in the test prefix is narrower): none of it is cut off.
    const Box heading = BoundsOf(kLabel2Id);
    EXPECT_EQ(heading.left, 10);
    EXPECT_EQ(heading.top, 16);
    const SIZE text = TextExtent(kLabel2Id);
    EXPECT_EQ(heading.width, text.cx);
    EXPECT_EQ(heading.height, text.cy);
    EXPECT_NEAR(heading.height, 13, 2);
    EXPECT_LT(heading.left + heading.width, 574);
}

TEST_F(LayoutTest, TheWindowIsAFixedDialogInTheMiddleOfTheDesktop) {
    Open();
    EXPECT_EQ(ui::GetText(Form()), "「そらみど+ルトナ」アップデート");
    EXPECT_EQ(Text(kLabel2Id), "「ケルミナ そらみど」を最新版(Ver.1.55B)に更新します。");
    const LONG_PTR style = Style(Form());
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(ExStyle(Form()) & WS_EX_DLGMODALFRAME);  // no icon in the caption

    const HMENU menu = GetSystemMenu(Form(), FALSE);
    std::vector<UINT> commands;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT id = GetMenuItemID(menu, i);
        commands.push_back(id);
    }
    EXPECT_EQ(commands, (std::vector<UINT>{SC_MOVE, 0, SC_CLOSE}));  // 0: the separator

    RECT window;
    GetWindowRect(Form(), &window);
    const int desktopWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int desktopHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    EXPECT_EQ(window.left - GetSystemMetrics(SM_XVIRTUALSCREEN),
              (desktopWidth - (window.right - window.left)) / 2);
    EXPECT_EQ(window.top - GetSystemMetrics(SM_YVIRTUALSCREEN),
              (desktopHeight - (window.bottom - window.top)) / 2);
}

TEST_F(LayoutTest, ControlsHaveTheirKindsAndStyles) {
    Open();
    const LONG_PTR memo = Style(Item(kMemo1Id));
    EXPECT_TRUE(memo & ES_MULTILINE);
    EXPECT_TRUE(memo & WS_VSCROLL);
    EXPECT_FALSE(memo & (ES_AUTOHSCROLL | WS_HSCROLL));  // long lines wrap
    EXPECT_FALSE(memo & ES_READONLY);
    // The status line: one line, cut off at its edge, "&" shown as it is.
    const LONG_PTR status = Style(Item(kLabel1Id));
    EXPECT_EQ(status & SS_TYPEMASK, SS_LEFTNOWORDWRAP);
    EXPECT_TRUE(status & SS_NOPREFIX);
    EXPECT_EQ(Style(Item(kButton1Id)) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(LOWORD(SendMessageW(Form(), DM_GETDEFID, 0, 0)), kButton1Id);
    EXPECT_EQ(ui::GetText(Item(kPanel1Id)), "");
}

TEST_F(LayoutTest, TheWindowFontIsTheDesignedFaceOrAJapaneseSubstitute) {
    Open();
    const auto font = reinterpret_cast<HFONT>(SendMessageW(Item(kMemo1Id), WM_GETFONT, 0, 0));
    LOGFONTW memoFont{};
    ASSERT_EQ(GetObjectW(font, sizeof memoFont, &memoFont), static_cast<int>(sizeof memoFont));
    EXPECT_EQ(memoFont.lfHeight, -12);
    EXPECT_EQ(memoFont.lfWeight, FW_NORMAL);
    EXPECT_EQ(std::wstring(memoFont.lfFaceName), L"ＭＳ Ｐゴシック");  // mapped in the test prefix
    EXPECT_EQ(memoFont.lfCharSet, SHIFTJIS_CHARSET);

    const auto headingFont =
        reinterpret_cast<HFONT>(SendMessageW(Item(kLabel2Id), WM_GETFONT, 0, 0));
    LOGFONTW heading{};
    GetObjectW(headingFont, sizeof heading, &heading);
    EXPECT_EQ(heading.lfHeight, -13);
}

TEST_F(LayoutTest, AMoveToA150PercentScreenScalesEverything) {
    Open();
    RECT suggested;
    GetWindowRect(Form(), &suggested);
    SendMessageW(Form(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(ClientSize().cx, 861);
    EXPECT_EQ(ClientSize().cy, 522);
    EXPECT_EQ(BoundsOf(kButton1Id), (Box{617, 479, 112, 34}));
    EXPECT_EQ(BoundsOf(kButton2Id), (Box{743, 479, 112, 34}));
    EXPECT_EQ(BoundsOf(kPanel1Id), (Box{9, 65, 845, 400}));
    EXPECT_EQ(BoundsOf(kLabel1Id), (Box{12, 12, 822, 20}));
    EXPECT_EQ(BoundsOf(kMemo1Id), (Box{12, 41, 822, 345}));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(Item(kMemo1Id), WM_GETFONT, 0, 0));
    LOGFONTW memoFont{};
    GetObjectW(font, sizeof memoFont, &memoFont);
    EXPECT_EQ(memoFont.lfHeight, -18);
    EXPECT_NEAR(BoundsOf(kLabel2Id).height, 20, 4);
}

}  // namespace
}  // namespace ui_test
