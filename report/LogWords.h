// The words of Update.exe's log that the report reads, taken from where
// Update.exe takes them, and those of the run finished at the next restart,
// which an installation in use gets.
#pragma once

#include <string_view>

#include "app/ExitCode.h"
#include "app/Texts.h"
#include "engine/Texts.h"

namespace report::words {

using namespace app::text;
using engine::text::kLeftAsItWas;
using engine::text::kLeftMidway;
using engine::text::kNotReplaced;
using engine::text::kPackageFileDamaged;
using engine::text::kPackageFileMissing;
using engine::text::kReplaced;
using engine::text::kUnexpectedError;

// "YYYY-MM-DD hh:mm:ss.mmm " before every line.
inline constexpr std::size_t kStampSize = 24;

// "<installation>: finished at the next restart: held by <program>".
inline constexpr std::string_view kFinishedAtRestart = ": finished at the next restart: ";

using app::exit_code::kListStates;

}  // namespace report::words
