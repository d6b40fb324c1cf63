// How the update of one installation ended, and what the log tells of it.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/ReplacementTable.h"
#include "engine/RunEvents.h"
#include "engine/RunOutcome.h"

namespace engine {

struct UpdateOutcome {
    // The line of a repair of an earlier, interrupted update; logged first.
    std::optional<std::string> repaired;
    UpdateEnd state = UpdateEnd::LeftAsItWas;
    bool hasXtras = false;  // whether the plug-in was (or would have been) placed
    // Midway: which rows of kReplacements hold their new bytes.
    std::array<bool, kReplacements.size()> rowIsNew{};
    std::string reason;  // why the installation was not updated
    // AtRestart: the program that holds the files, as the log names it.
    std::string heldBy;
    // Updated: what of the update's own could not be deleted at the end,
    // as paths; a later run tidies it up.
    std::vector<std::string> leftOver;
    // What an earlier run left that was neither followed nor deleted.
    struct Kept {
        std::string path;    // where it was found
        std::string keptAs;  // its name now, in the same folder
        RunEvents::KeptWhy why = RunEvents::KeptWhy::NotJournalsBytes;
    };
    std::vector<Kept> kept;
    // What earlier runs set aside and still stands, relative to the
    // installation folder (KeptSets.h).
    std::vector<std::string> keptBefore;
    // Why this PC's journal key was replaced while this update read it.
    std::optional<std::string> keyReplaced;
    // The unexpected failure that cut the update short, in its own words.
    std::optional<std::string> unexpected;
};

}  // namespace engine
