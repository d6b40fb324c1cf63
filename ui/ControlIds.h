// The identifiers of the window's controls. The run and close buttons carry
// the dialog manager's IDOK and IDCANCEL, so that Enter on the default button
// and Esc reach them the way they do in any dialog. Tests and the end-to-end
// driver find the controls by these identifiers.
#pragma once

namespace ui {

inline constexpr int kButton1Id = 1;  // IDOK: run and stop
inline constexpr int kButton2Id = 2;  // IDCANCEL: close
inline constexpr int kLabel2Id = 100;
inline constexpr int kPanel1Id = 101;
inline constexpr int kLabel1Id = 102;  // inside Panel1
inline constexpr int kMemo1Id = 103;   // inside Panel1

// Window class names. The main window's class is named after its class in the
// code, which is also how other programs (the tests' driver) find it.
inline constexpr wchar_t kFormClassName[] = L"TForm1";
inline constexpr wchar_t kPanelClassName[] = L"TPanel";
inline constexpr wchar_t kApplicationClassName[] = L"TApplication";

}  // namespace ui
