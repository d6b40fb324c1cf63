// Trees no recursive walk survives: very deep ones and very wide ones. Only
// correctness is checked here; speed and memory are the benchmark's business.
#include <cstdio>

#include "tests/engine/EngineTest.h"

namespace engine_test {
namespace {

class Scale : public EngineTest {
  protected:
    Scale() {
        // Paths tens of thousands of characters long.
        report.recordStatus = false;
        files.record = false;
    }
};

TEST_F(Scale, ATreeTenThousandFoldersDeep) {
    constexpr int kDepth = 10'000;
    Folder bottom = c;
    for (int i = 0; i < kDepth; ++i)
        bottom = bottom.AddFolder("d");
    const Installation deepest = InstallInto(bottom);
    bottom.AddLink("Top", c);  // a cycle as long as the tree is deep

    Run();

    Lines log{kOpening};
    Append(log, deepest.RefreshLines());
    Append(log, kCompletion);
    EXPECT_EQ(report.log, log);
    EXPECT_EQ(deepest.path.size(), 2u + 2u * kDepth);
    // C:, the chain, the installation's own Audio (5 folders) and xtras. The
    // package folder and the refresh are listed through their own handles.
    EXPECT_EQ(files.count, 1u + kDepth + 6u);
}

TEST_F(Scale, AFolderWithAMillionEntries) {
    constexpr int kEntries = 1'000'000;
    const Folder big = c.AddFolder("Big");
    Installation early, late;
    char name[16];
    for (int i = 0; i < kEntries; ++i) {
        switch (i) {
            case 100'000:
                early = Install(big, "Early", "");
                break;
            case 500'000:
                big.AddFile("SKM300.EXE");
                break;
            case 700'000:
                late = Install(big, "Late", "");
                break;
            case kEntries - 2:
                big.AddFolder("Audio").AddFolder("Term").AddFolder("GROUP3");
                fs.MakeFile("C:\\Big\\Audio\\Phrase\\Group6\\q417.mp3", "old");
                break;
            case kEntries - 1:
                big.AddFolder("xtras");
                break;
            default:
                std::snprintf(name, sizeof name, "f%07d.dat", i);
                big.AddFile(name);
        }
    }
    const Installation bigInstallation{"C:\\Big", "xtras"};

    Run();

    Lines log{kOpening};
    Append(log, early.RefreshLines());
    Append(log, bigInstallation.RefreshLines());
    Append(log, late.RefreshLines());
    Append(log, kCompletion);
    EXPECT_EQ(report.log, log);
}

}  // namespace
}  // namespace engine_test
