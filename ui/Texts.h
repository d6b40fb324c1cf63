// The window's own fixed texts, exactly as the user sees them. The worker's
// texts (the run button's two captions among them) live in engine/Texts.h,
// the program's (the command line's boxes, the log's words) in app/Texts.h.
#pragma once

#include <string_view>

#include "engine/Version.h"

namespace ui::text {

inline constexpr std::string_view kApplicationTitle = "SoramidoUpDate";
inline constexpr std::string_view kFormCaption = "「そらみど+ルトナ」アップデート";
inline constexpr std::string_view kHeading =
    "「ケルミナ そらみど」を最新版(Ver.1.55B)に更新します。";
static_assert(engine::Names(kHeading));
inline constexpr std::string_view kCloseCaption = "閉じる";
// Followed by the system's description of why the thread could not be made.
inline constexpr std::string_view kThreadCreationError = "スレッド作成エラー：";

// Held up to the user when a log-off or shut-down comes while an installation
// is being changed.
inline constexpr wchar_t kShutdownBlockReason[] = L"アップデート中です";

}  // namespace ui::text
