// Every text that tells Update.exe's exit codes or /LIST's states, read
// against app/ExitCode.h: a code added, dropped or renumbered there and not
// in one of them, or the other way round, fails here. Likewise every text
// that names the version, read against engine/Version.h.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/ExitCode.h"
#include "app/Texts.h"
#include "engine/Version.h"
#include "engine/VersionParts.h"
#include "engine/update/InstallationState.h"
#include "report/Verdict.h"

namespace {

namespace code = app::exit_code;

std::string SourceFile(const std::string& path) {
    std::ifstream in(std::string(SORAMIDO_SOURCE_DIR) + "/" + path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The text from `from` to the first `to` after it.
std::string Between(const std::string& text, const std::string& from, const std::string& to) {
    const std::size_t start = text.find(from);
    EXPECT_NE(start, std::string::npos) << "no " << from;
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find(to, start + from.size()) - start);
}

// The number that `line` (one line, whole) gives in its first group, for
// each line of `text` that matches.
std::vector<int> NumbersOfLines(const std::string& text, const std::string& line) {
    const std::regex pattern(line);
    std::vector<int> numbers;
    std::istringstream lines(text);
    std::smatch match;
    for (std::string each; std::getline(lines, each);) {
        if (std::regex_match(each, match, pattern))
            numbers.push_back(std::stoi(match[1]));
    }
    return numbers;
}

std::vector<int> NumbersIn(const std::string& text, const std::string& around) {
    const std::regex pattern(around);
    std::vector<int> numbers;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pattern);
         it != std::sregex_iterator(); ++it)
        numbers.push_back(std::stoi((*it)[1]));
    return numbers;
}

std::vector<int> Codes() {
    std::vector<int> codes;
    for (const code::Code& c : code::kCodes)
        codes.push_back(c.value);
    return codes;
}

const std::vector<int> kPrecedence(std::begin(code::kPrecedence), std::end(code::kPrecedence));

TEST(ExitCodeHomesTest, EveryTextListsEachCodeOnceInOrder) {
    const std::string usage(app::text::kUsage);
    EXPECT_EQ(NumbersOfLines(Between(usage, "終了コード：\n", "\n\n"), "(\\d+)　.+"), Codes())
        << "the /? box";

    const std::string events = SourceFile("app/EventMessages.mc");
    std::vector<int> ids = NumbersOfLines(events, "MessageId=(\\d+)");
    for (int& id : ids)
        id -= 1000;
    EXPECT_EQ(ids, Codes()) << "the event messages";
    for (const code::Code& c : code::kCodes) {
        EXPECT_NE(events.find("ended with exit code " + std::to_string(c.value) + ": " +
                              std::string(c.meaning)),
                  std::string::npos)
            << "the event message of " << c.value;
    }

    const std::string docs = SourceFile("docs/administrators.md");
    EXPECT_EQ(NumbersOfLines(Between(docs, "| exit code | meaning |", "\n\n"), "\\| (\\d+) \\|.*"),
              Codes())
        << "docs/administrators.md";
    EXPECT_EQ(NumbersIn(Between(docs, "wins, in this order:", "\n\n"), "\\*\\*(\\d+)\\*\\*"),
              kPrecedence)
        << "docs/administrators.md's order";

    const std::string note = SourceFile("dist/はじめにお読みください.txt");
    const std::string noteCodes = Between(note, "■ 終了コード", "終了コードが複数");
    EXPECT_EQ(NumbersOfLines(noteCodes, "  (\\d+)  .+"), Codes()) << "the publisher's note";
    EXPECT_EQ(NumbersIn(Between(note, "終了コードが複数", "\n"), "(\\d+)"), kPrecedence)
        << "the publisher's note's order";

    // The start-up script names codes of its own refusals and of the record.
    const std::string script = SourceFile("dist/soramido-startup.cmd");
    const std::vector<int> named = NumbersIn(script, "(?:exit /b |exit code |==\"0x)(\\d+)");
    EXPECT_GE(named.size(), 4u);
    for (const int value : named)
        EXPECT_TRUE(code::IsCode(value)) << "the start-up script names " << value;
}

TEST(ExitCodeHomesTest, EveryTextTellsEachListState) {
    std::set<std::string_view> engineStates;
    for (int value = 0; value <= static_cast<int>(engine::InstallationState::Blocked); ++value)
        engineStates.insert(engine::StateName(static_cast<engine::InstallationState>(value)));
    EXPECT_EQ(engineStates, std::set<std::string_view>(std::begin(code::kListStates),
                                                       std::end(code::kListStates)));

    const std::string usage(app::text::kUsage);
    const std::string docs = Between(SourceFile("docs/administrators.md"), "| `/LIST` |", "\n");
    const std::string note =
        Between(SourceFile("dist/はじめにお読みください.txt"), "  /LIST", "  /");
    for (const std::string_view state : code::kListStates) {
        const std::string word(state);
        EXPECT_NE(usage.find(word + "（"), std::string::npos) << "the /? box lacks " << word;
        EXPECT_NE(docs.find("`" + word + "` ("), std::string::npos) << "the docs lack " << word;
        EXPECT_NE(note.find(word + "（"), std::string::npos) << "the note lacks " << word;
    }
}

TEST(ExitCodeHomesTest, TheReportHasAVerdictForEveryCode) {
    const std::string_view unknown = report::VerdictOf(10, false);
    std::set<std::string_view> verdicts;
    for (const code::Code& c : code::kCodes) {
        const std::string_view verdict = report::VerdictOf(c.value, false);
        EXPECT_NE(verdict, unknown) << c.value;
        EXPECT_TRUE(verdicts.insert(verdict).second) << c.value << ": " << verdict;
    }
    EXPECT_FALSE(code::IsCode(10));
    // The report's sentences that name the version.
    for (const std::string_view sentence :
         {report::VerdictOf(code::kUpdated, true), report::VerdictOf(code::kNotAllCurrent, true),
          report::StandingName(report::Standing::Current)})
        EXPECT_TRUE(engine::Names(sentence)) << sentence;
}

// The version as sentences and files spell it where they cannot take it from
// engine/Version.h: one left behind when it changes fails here.
TEST(VersionHomesTest, EveryTextSpellsTheVersionOfTheProgram) {
    const std::string version(engine::kVersion);
    const std::string numbers =
        std::to_string(SORAMIDO_VERSION_MAJOR) + "." + std::to_string(SORAMIDO_VERSION_MINOR);
    const std::string inText = "(\\d+\\.\\d+[A-Z]?)";
    const std::string inManifest = "name=\"Soramido\\.\\w+\" version=\"([\\d.]+)\"";
    const struct {
        const char* file;
        std::string pattern, expected;
    } homes[] = {
        {"app/Texts.h", inText, version},
        {"app/ExitCode.h", inText, version},
        {"app/EventMessages.mc", inText, version},
        {"ui/Texts.h", inText, version},
        {"report/Verdict.cpp", inText, version},
        {"docs/administrators.md", inText, version},
        {"dist/はじめにお読みください.txt", inText, version},
        {"app/Update.manifest", inManifest, numbers + ".0.0"},
        {"report/Report.manifest", inManifest, numbers + ".0.0"},
        {"CMakeLists.txt", "project\\(\\w+ VERSION ([\\d.]+)", numbers},
    };
    for (const auto& [file, pattern, expected] : homes) {
        const std::string text = SourceFile(file);
        const std::regex compiled(pattern);
        int named = 0;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), compiled);
             it != std::sregex_iterator(); ++it, ++named)
            EXPECT_EQ((*it)[1], expected) << file;
        EXPECT_GT(named, 0) << file << " names no version";
    }
}

}  // namespace
