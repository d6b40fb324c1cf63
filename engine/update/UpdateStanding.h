// Where the update of one installation stands: what of its files may have
// changed since they were first listed, and what stands there of a journal
// an earlier run left. It moves only through Next(), which knows every move
// the update makes and marks any other impossible; the verdict of an update
// that did not go through is read from it (UpdateConclusion.h).
#pragma once

#include <cstdint>
#include <stdexcept>

namespace engine {

struct UpdateStanding {
    // What of the installation may have changed, by this run or for it.
    enum class Change : std::uint8_t {
        None,      // nothing: the files are as the survey found them
        Repaired,  // what an earlier run left was followed, undone or deleted
        Begun,     // this run's journal came to be: its change began
    };
    // What stands there of an earlier run's journal.
    enum class Earlier : std::uint8_t {
        None,         // no file of the journal's name, or no longer
        Unread,       // a file of its name that was not told to be ours or not
        NotAJournal,  // a file of its name in no journal's form: it stays
        Unrepaired,   // a journal of ours not followed: what stands is what it says
    };
    // What the update does that moves it.
    enum class Event : std::uint8_t {
        Listed,               // the survey listed the folder without a journal
        ListedJournal,        // the survey listed the folder with a journal
        DraftDeleted,         // a journal draft of an earlier run's was deleted
        JournalNotAJournal,   // the journal was read and is no journal at all
        JournalUnrepaired,    // the journal is ours and stays, not (yet) followed
        JournalCutShortGone,  // the journal, cut short as it was written, was deleted
        JournalFollowed,      // the journal was followed to its end and is gone
        JournalSetAside,  // the journal no key vouches for, or the files do not match, was moved
                          // aside
        RunBegan,         // this run's journal, or another change of this run's, came to be
    };

    Change change = Change::None;
    Earlier earlier = Earlier::None;
    // A move no update makes was asked for: a fault of the update's own,
    // after which only a look at the files tells what stands there, and
    // the update does not count as done.
    bool impossible = false;

    // Moves on `event`, as Next() says. An impossible move throws, in every
    // build: the update stops there, what it changed is undone, and the
    // failure stays with its installation (InstallationUpdate::Run).
    constexpr void Move(Event event);

    // Until the earlier run's journal is no longer there, and while the
    // change of this run's or the repair may have left anything, only a
    // look at the files tells what stands there.
    constexpr bool NeedsALook() const {
        return impossible || change != Change::None || earlier == Earlier::Unread ||
               earlier == Earlier::Unrepaired;
    }
    // An earlier run's journal stays, and the installation is not at rest.
    constexpr bool EarlierJournalStays() const {
        return earlier == Earlier::Unread || earlier == Earlier::Unrepaired;
    }
    // Where no look at the files can be had: only an installation with
    // nothing of an earlier run's and nothing of this run's is known to be
    // as it was.
    constexpr bool MaybeChanged() const {
        return impossible || change != Change::None || earlier != Earlier::None;
    }
    friend constexpr bool operator==(UpdateStanding, UpdateStanding) = default;
};

// Whether the update can meet `event` where it stands at `from`.
constexpr bool CanMove(UpdateStanding from, UpdateStanding::Event event) {
    using Change = UpdateStanding::Change;
    using Earlier = UpdateStanding::Earlier;
    using Event = UpdateStanding::Event;
    switch (event) {
        case Event::Listed:
        case Event::ListedJournal:
            // The folder is listed first, and again after a repair took
            // the journal away: never while one is known to be there.
            return from.change != Change::Begun && from.earlier == Earlier::None;
        case Event::DraftDeleted:
            return from.change != Change::Begun && from.earlier != Earlier::Unrepaired;
        case Event::JournalNotAJournal:
        case Event::JournalUnrepaired:
        case Event::JournalCutShortGone:
            return from.change != Change::Begun && from.earlier == Earlier::Unread;
        case Event::JournalSetAside:
            // Also a journal of ours that the files no longer match.
            return from.change != Change::Begun &&
                   (from.earlier == Earlier::Unread || from.earlier == Earlier::Unrepaired);
        case Event::JournalFollowed:
            return from.change != Change::Begun && from.earlier == Earlier::Unrepaired;
        case Event::RunBegan:
            return from.earlier == Earlier::None || from.earlier == Earlier::Unread;
    }
    return false;
}

// Where `from` goes on `event`. An event the update cannot meet where it
// stands is a fault of the update's: the standing stays where it was,
// marked impossible.
constexpr UpdateStanding Next(UpdateStanding from, UpdateStanding::Event event) {
    using Change = UpdateStanding::Change;
    using Earlier = UpdateStanding::Earlier;
    using Event = UpdateStanding::Event;
    UpdateStanding to = from;
    if (!CanMove(from, event)) {
        to.impossible = true;
        return to;
    }
    switch (event) {
        case Event::Listed:
            to.earlier = Earlier::None;
            break;
        case Event::ListedJournal:
            to.earlier = Earlier::Unread;
            break;
        case Event::DraftDeleted:
            to.change = Change::Repaired;
            break;
        case Event::JournalNotAJournal:
            to.earlier = Earlier::NotAJournal;
            break;
        case Event::JournalUnrepaired:
            to.earlier = Earlier::Unrepaired;
            break;
        case Event::JournalCutShortGone:
        case Event::JournalFollowed:
            to.change = Change::Repaired;
            to.earlier = Earlier::None;
            break;
        case Event::JournalSetAside:
            to.earlier = Earlier::None;
            break;
        case Event::RunBegan:
            to.change = Change::Begun;
            break;
    }
    return to;
}

constexpr void UpdateStanding::Move(Event event) {
    const bool possible = CanMove(*this, event);
    *this = Next(*this, event);
    if (!possible)
        throw std::logic_error("the update made a move it cannot make where it stood");
}

}  // namespace engine
