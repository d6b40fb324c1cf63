// The six report operations, called as the worker's queue calls them (on the
// UI thread), and their effects read back from the controls.
#include "platform/win32/WinApi.h"

#include <stdexcept>
#include <system_error>

#include "platform/win32/SystemMessage.h"
#include "tests/ui/FormFixture.h"
#include "ui/ErrorBox.h"

namespace ui_test {
namespace {

using ui::kButton1Id;
using ui::kButton2Id;
using ui::kLabel1Id;
using ui::kMemo1Id;

class ReportOperationsTest : public FormTest {
  protected:
    void SetUp() override { Open(); }

    // Characters typed into the log at its end, as the user would.
    void TypeIntoLog(const std::wstring& typed) {
        const HWND memo = Item(kMemo1Id);
        SetFocus(memo);
        const auto end = static_cast<WPARAM>(GetWindowTextLengthW(memo));
        SendMessageW(memo, EM_SETSEL, end, static_cast<LPARAM>(end));
        for (wchar_t c : typed)
            PostMessageW(memo, WM_CHAR, c, 1);
        PumpPending();
    }
};

TEST_F(ReportOperationsTest, AppendedLinesEachEndInALineBreak) {
    form.AppendLogLine("first");
    form.AppendLogLine("");
    form.AppendLogLine("C:\\A & B\\QBANK.CXT を更新しました");
    EXPECT_EQ(Text(kMemo1Id), "first\r\n\r\nC:\\A & B\\QBANK.CXT を更新しました\r\n");
    form.ClearLog();
    EXPECT_EQ(Text(kMemo1Id), "");
    form.AppendLogLine("again");
    EXPECT_EQ(Text(kMemo1Id), "again\r\n");
}

TEST_F(ReportOperationsTest, ALineAfterTypedTextGoesOntoALineOfItsOwn) {
    form.AppendLogLine("first");
    TypeIntoLog(L"typed");
    ASSERT_EQ(Text(kMemo1Id), "first\r\ntyped");
    form.AppendLogLine("second");
    form.AppendLogLine("third");
    EXPECT_EQ(Text(kMemo1Id), "first\r\ntyped\r\nsecond\r\nthird");

    TypeIntoLog(L"\r");  // the user ends the line with Enter
    form.AppendLogLine("fourth");
    EXPECT_EQ(Text(kMemo1Id), "first\r\ntyped\r\nsecond\r\nthird\r\nfourth\r\n");
    EXPECT_EQ(LogLines(), (Lines{"first", "typed", "second", "third", "fourth"}));
}

// Lines reach the screen by themselves a moment later, not only when someone
// reads the box; the line count is asked without reading the text.
TEST_F(ReportOperationsTest, AppendedLinesAppearWithoutBeingReadBack) {
    const HWND memo = Item(kMemo1Id);
    for (int i = 0; i < 500; ++i)
        form.AppendLogLine("C:\\PC" + std::to_string(i) + "\\QBANK.CXT を更新しました");
    EXPECT_TRUE(PumpUntil([&] { return SendMessageW(memo, EM_GETLINECOUNT, 0, 0) == 501; }, 2s));
    EXPECT_EQ(LogLines().size(), 500u);
}

TEST_F(ReportOperationsTest, ALongLogIsNotCutShort) {
    // Far beyond the 30,000 characters an edit box takes by default.
    const std::string line(1998, 'x');
    for (int i = 0; i < 20; ++i)
        form.AppendLogLine(line);
    EXPECT_EQ(LogLines().size(), 20u);
    EXPECT_EQ(GetWindowTextLengthW(Item(kMemo1Id)), 20 * 2000);
}

TEST_F(ReportOperationsTest, TheStatusLineShowsPathsAsTheyAreInItsColour) {
    form.SetStatusText("C:\\Tom & Jerry\\&&Data");
    EXPECT_EQ(Text(kLabel1Id), "C:\\Tom & Jerry\\&&Data");
    EXPECT_EQ(StatusColour(), GetSysColor(COLOR_WINDOWTEXT));
    form.SetStatusColour(engine::Verdict::Completed);
    EXPECT_EQ(StatusColour(), kBlue);
    form.SetStatusText("");
    EXPECT_EQ(Text(kLabel1Id), "");
    EXPECT_EQ(StatusColour(), kBlue);  // stays until the program ends
}

TEST_F(ReportOperationsTest, TheRunButtonsCaptionAndState) {
    form.SetRunButtonCaption(kStop);
    EXPECT_EQ(Text(kButton1Id), kStop);
    ASSERT_EQ(FocusedId(), kButton1Id);
    form.SetRunButtonEnabled(false);
    EXPECT_FALSE(IsEnabled(kButton1Id));
    EXPECT_EQ(FocusedId(), kButton2Id);
    form.SetRunButtonEnabled(true);
    EXPECT_TRUE(IsEnabled(kButton1Id));
    EXPECT_EQ(FocusedId(), kButton2Id);  // the focus stays where the user has it now
}

TEST(ErrorBoxText, EndsWithAFullStopUnlessItEndsInOneOrSomethingBefore) {
    EXPECT_EQ(ui::WithClosingFullStop("Access denied"), "Access denied.");
    EXPECT_EQ(ui::WithClosingFullStop("Access denied."), "Access denied.");
    EXPECT_EQ(ui::WithClosingFullStop("Access denied!"), "Access denied!");
    EXPECT_EQ(ui::WithClosingFullStop("code 5"), "code 5.");
    EXPECT_EQ(ui::WithClosingFullStop("メモリが足りません"), "メモリが足りません.");
    EXPECT_EQ(ui::WithClosingFullStop("メモリが足りません。"), "メモリが足りません。.");
    EXPECT_EQ(ui::WithClosingFullStop(""), "");
}

TEST(ErrorBoxText, SystemErrorsReadAsTheSystemWordsThem) {
    const std::string text =
        platform::SystemErrorText(std::error_code(ERROR_ACCESS_DENIED, std::system_category()));
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    // One form everywhere, to go inside the program's own lines: no full stop.
    EXPECT_TRUE(text == platform::SystemMessage(ERROR_ACCESS_DENIED) && !text.ends_with('.'));
    EXPECT_EQ(platform::SystemMessage(0xE0001234), "Error 3758101044");
    // A failure in the log names its call, then the same words in UTF-8.
    EXPECT_EQ(platform::SystemErrorWhat(
                  std::system_error(ERROR_ACCESS_DENIED, std::system_category(), "CreateFile")),
              "CreateFile: " + text);
    EXPECT_FALSE(
        platform::SystemErrorText(std::make_error_code(std::errc::resource_unavailable_try_again))
            .empty());
    // A failure escaping a handler reads the same, not as its ANSI what().
    const std::error_code denied(ERROR_ACCESS_DENIED, std::system_category());
    EXPECT_EQ(ui::FailureMessage(std::make_exception_ptr(std::system_error(denied, "CreateFile"))),
              ui::WithClosingFullStop(platform::SystemErrorText(denied)));
    EXPECT_EQ(ui::FailureMessage(std::make_exception_ptr(std::runtime_error("gone"))), "gone.");
}

}  // namespace
}  // namespace ui_test
