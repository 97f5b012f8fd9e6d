#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

#include "support/support.h"

// Each test installs the build into a prefix of its own and runs the installed
// launcher with HOME (and XDG_DATA_HOME) inside its temporary folder. SDL is
// told to use its 'dummy' driver, which the program refuses as "no display":
// the real program then loads every data file from the per-user folder, logs
// up to the display step and exits with 0, which shows that the launcher
// started it there on the files it copied or kept.
namespace {

const std::string buildDir = std::string(VELTRIX_BIN_DIR) + "/..";
const std::string dataDir = std::string(VELTRIX_SOURCE_DIR) + "/data";

const char* const bundledFiles[] = {"Cells/Body.tga", "Cells/Cell.3ds", "Cells/Trim.tga",
                                    "Font.bmp",       "Life.ini",       "Rules.ini"};

// Paths here are made by the tests and hold no quote.
std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

void install(const std::string& prefix)
{
    std::string out;
    ASSERT_EQ(runCommand("cmake --install " + quoted(buildDir) + " --prefix " + quoted(prefix) + " 2>&1", &out), 0)
        << out;
}

// Runs LAUNCHER from the folder FROM with no display and the given variables
// (HOME=..., XDG_DATA_HOME=...); XDG_DATA_HOME is unset unless given.
int launch(const std::string& launcher, const std::string& from, const std::string& variables, std::string* out)
{
    return runCommand("cd " + quoted(from) + " && env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_DATA_HOME " +
                          "SDL_VIDEODRIVER=dummy " + variables + " timeout 60 " + quoted(launcher) + " 2>&1",
                      out);
}

// The installed or copied file COPY holds the bundled file NAME byte for byte.
void expectBundled(const std::string& copy, const char* name)
{
    const std::string bundled = readFile(dataDir + "/" + name);
    ASSERT_FALSE(bundled.empty()) << name;
    EXPECT_EQ(readFile(copy), bundled) << copy;
}

bool isExecutable(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXUSR);
}

// The log of a program that found all its files and stopped for want of a screen.
void expectRanToDisplayStep(const std::string& runDir)
{
    const std::string log = readFile(runDir + "/Engine.log");
    EXPECT_NE(log.find("Init life (from file 'Life.ini') ...\n    OK\nInit engine ...\n    OK\nDDraw is running..\n"),
              std::string::npos)
        << log;
}

TEST(Install, PutsProgramToolsDataAndMenuEntryUnderThePrefix)
{
    TempDir dir;
    const std::string prefix = dir.path() + "/prefix";
    install(prefix);

    for (const char* tool : {"bin/veltrix", "bin/veltrix-replay", "bin/veltrix-inspect", "bin/veltrix-pattern",
                             "libexec/veltrix/veltrix"})
        EXPECT_TRUE(isExecutable(prefix + "/" + tool)) << tool;
    for (const char* command : {"veltrix", "veltrix-replay", "veltrix-inspect", "veltrix-pattern"})
        EXPECT_TRUE(fileIsThere(prefix + "/share/man/man1/" + command + ".1")) << command;
    EXPECT_FALSE(fileIsThere(prefix + "/bin/veltrix-datagen"));
    for (const char* file : bundledFiles)
        expectBundled(prefix + "/share/veltrix/" + file, file);

    // The menu entry is named as software centres know the program (packaging/).
    const std::string entryPath = prefix + "/share/applications/example.c_seed_91bec431.veltrix.desktop";
    const std::string entry = readFile(entryPath);
    EXPECT_NE(entry.find("\nExec=" + prefix + "/bin/veltrix\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=veltrix\n"), std::string::npos) << entry;
    EXPECT_TRUE(fileIsThere(prefix + "/share/icons/hicolor/128x128/apps/veltrix.png"));
    // scripts/deps.sh installs the validator; without it the entry is not checked.
    std::string out;
    if (runCommand("command -v desktop-file-validate >/dev/null", nullptr) == 0) {
        const std::string command = "desktop-file-validate " + quoted(entryPath);
        EXPECT_EQ(runCommand(command + " 2>&1", &out), 0) << out;
    }
}

TEST(Install, FirstRunFillsTheUserFolderAndRunsThere)
{
    TempDir dir;
    install(dir.path() + "/prefix");
    runCommand("mkdir -p home elsewhere", nullptr);
    std::string out;
    EXPECT_EQ(launch(dir.path() + "/prefix/bin/veltrix", dir.path() + "/elsewhere", "HOME=" + quoted(dir.path() + "/home"),
                     &out),
              0)
        << out;

    const std::string runDir = dir.path() + "/home/.local/share/veltrix";
    for (const char* file : bundledFiles)
        expectBundled(runDir + "/" + file, file);
    expectRanToDisplayStep(runDir);
    EXPECT_FALSE(fileIsThere(dir.path() + "/elsewhere/Engine.log"));
}

TEST(Install, UserFilesAreNeverReplacedAndMissingOnesComeBack)
{
    TempDir dir;
    install(dir.path() + "/prefix");
    const std::string runDir = dir.path() + "/home/.local/share/veltrix";
    runCommand("mkdir -p " + quoted(runDir), nullptr);
    // A blinker and the rule B3/S12345, both unlike the bundled files.
    const std::string life = "3\n10 10 0\n11 10 0\n12 10 0\n";
    const std::string rules = "0 6 3 3\n";
    writeFile(runDir + "/Life.ini", life);
    writeFile(runDir + "/Rules.ini", rules);

    std::string out;
    const std::string launcher = dir.path() + "/prefix/bin/veltrix";
    const std::string home = "HOME=" + quoted(dir.path() + "/home");
    EXPECT_EQ(launch(launcher, dir.path(), home, &out), 0) << out;
    EXPECT_EQ(readFile(runDir + "/Life.ini"), life);
    EXPECT_EQ(readFile(runDir + "/Rules.ini"), rules);
    expectBundled(runDir + "/Cells/Cell.3ds", "Cells/Cell.3ds");
    expectRanToDisplayStep(runDir);

    // A second start after the user lost a texture and the font brings back
    // just those, and still keeps the pattern.
    runCommand("rm " + quoted(runDir + "/Cells/Trim.tga") + " " + quoted(runDir + "/Font.bmp"), nullptr);
    writeFile(runDir + "/Graph.txt", "the user's\n");
    EXPECT_EQ(launch(launcher, dir.path(), home, &out), 0) << out;
    expectBundled(runDir + "/Cells/Trim.tga", "Cells/Trim.tga");
    expectBundled(runDir + "/Font.bmp", "Font.bmp");
    EXPECT_EQ(readFile(runDir + "/Life.ini"), life);
    EXPECT_EQ(readFile(runDir + "/Graph.txt"), "the user's\n");
    EXPECT_FALSE(fileIsThere(runDir + "/Font.bmp.part"));
}

TEST(Install, UserFolderFollowsXdgDataHome)
{
    struct Case {
        const char* xdgDataHome; // nullptr: unset
        const char* runDir;      // relative to the test's folder
    };
    const Case cases[] = {
        {nullptr, "home/.local/share/veltrix"},
        {"", "home/.local/share/veltrix"},
        {"ABS", "xdg/veltrix"},
        // A relative XDG_DATA_HOME does not count.
        {"xdg", "home/.local/share/veltrix"},
    };
    TempDir dir;
    install(dir.path() + "/prefix");
    for (const Case& c : cases) {
        runCommand("rm -rf home xdg && mkdir home", nullptr);
        std::string variables = "HOME=" + quoted(dir.path() + "/home");
        if (c.xdgDataHome) {
            const std::string value = std::string(c.xdgDataHome) == "ABS" ? dir.path() + "/xdg" : c.xdgDataHome;
            variables += " XDG_DATA_HOME=" + quoted(value);
        }
        std::string out;
        EXPECT_EQ(launch(dir.path() + "/prefix/bin/veltrix", dir.path(), variables, &out), 0) << variables << out;
        EXPECT_TRUE(fileIsThere(dir.path() + "/" + c.runDir + "/Engine.log")) << variables;
        EXPECT_TRUE(fileIsThere(dir.path() + "/" + c.runDir + "/Life.ini")) << variables;
    }
}

TEST(Install, MovedInstallStillFindsItselfThroughALink)
{
    TempDir dir;
    install(dir.path() + "/first");
    runCommand("mv first 'moved away' && mkdir links home && ln -s '../moved away/bin/veltrix' links/veltrix", nullptr);
    std::string out;
    EXPECT_EQ(launch(dir.path() + "/links/veltrix", dir.path(), "HOME=" + quoted(dir.path() + "/home"), &out), 0) << out;
    expectRanToDisplayStep(dir.path() + "/home/.local/share/veltrix");
}

TEST(Install, IncompleteInstallIsReportedAndTouchesNothing)
{
    TempDir dir;
    install(dir.path() + "/prefix");
    runCommand("rm prefix/libexec/veltrix/veltrix && mkdir home", nullptr);
    std::string out;
    EXPECT_EQ(launch(dir.path() + "/prefix/bin/veltrix", dir.path(), "HOME=" + quoted(dir.path() + "/home"), &out), 1);
    EXPECT_NE(out.find("incomplete"), std::string::npos) << out;
    EXPECT_FALSE(fileIsThere(dir.path() + "/home/.local"));
}

} // namespace
