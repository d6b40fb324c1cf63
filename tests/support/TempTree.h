// A folder tree on disk for the tests of the real file services: built in a
// new temporary folder from a short description, inspected and changed by the
// test behind the back of the code under test, and removed again with
// everything in it (links themselves, never what they point to).
//
// A description has one entry a line, names joined with '/', blanks around
// an entry ignored:
//   "Audio/Term/GROUP3/"   a folder, with the folders above it
//   "SKM300.EXE"           an empty file (folders above it are made too)
//   "QBANK.CXT = old"      a file holding the text after " = "
//   "Here -> Audio/Term"   a symbolic link to that place of the tree, which
//                          need not exist; "Here -> /" points at the root
// Names are UTF-8. On Windows the tree lies in the user's temporary folder and
// paths of any length work; under Wine, links are made as Unix links.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

class TempTree {
  public:
    explicit TempTree(std::string_view description = {});
    ~TempTree();
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Adds the entries of `description`; throws std::runtime_error naming the
    // entry that could not be made.
    void Add(std::string_view description);

    // The path of `relative` ('/'-joined) in the system's own form:
    // "/tmp/tree-Ab12Cd/Audio/Term" or "C:\Users\me\AppData\Local\Temp\tree-1f-0\Audio\Term".
    std::string Path(std::string_view relative = {}) const;

    // The content of a file (through links); nullopt when there is none.
    std::optional<std::string> Read(std::string_view relative) const;
    // True when an entry of that name exists, a link itself included.
    bool Exists(std::string_view relative) const;
    // The names in a folder, sorted, without "." and "..".
    std::vector<std::string> Names(std::string_view folder = {}) const;

    // Renames an entry, as another program might while the code under test
    // holds it open. False when the system refuses: Windows does while a
    // handle that does not share deletion holds the entry.
    bool Rename(std::string_view from, std::string_view to);

    // Marks a file read-only (Windows' attribute; elsewhere no write bits).
    void SetReadOnly(std::string_view relative, bool readOnly);
    // Gives an entry Windows' hidden and system attributes. Elsewhere a
    // leading dot is what hides a name, and this does nothing.
    void SetHidden(std::string_view relative);
    // Takes all permissions from a folder, or gives them back (POSIX only).
    void SetUnreadable(std::string_view relative, bool unreadable);

  private:
    // Each of these makes the folders above the entry too.
    void MakeFolder(std::string_view relative);
    void MakeFile(std::string_view relative, std::string_view content);
    void MakeLink(std::string_view relative, std::string_view target);

    std::string root_;
};

// True when the program runs under Wine, which does not show every kind of
// link the way Windows does.
bool RunningUnderWine();

}  // namespace test_support
