// The command line of CJetvaneApp: words, verbs, file path and the report of unknown words.
#include "app/jetvane_app.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

const QString kProgram = QStringLiteral("/usr/bin/jetvane");

// Parses a command line and keeps what was written to standard output.
struct Parsed {
    bool ok = false;
    std::string output;
    CJetvaneApp app;
};

Parsed Parse(QStringList words)
{
    Parsed parsed;
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    words.prepend(kProgram);
    parsed.ok = parsed.app.ParseCommandLine(words, out);
    std::fclose(out);
    parsed.output.assign(buffer, size);
    std::free(buffer);
    return parsed;
}

TEST(CommandLine, NoArgumentsIsAnInteractiveRun)
{
    const Parsed parsed = Parse({});
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.output, "");
    EXPECT_FALSE(parsed.app.SilentMode());
    EXPECT_TRUE(parsed.app.CommandLineVerb().isEmpty());
    EXPECT_TRUE(parsed.app.CommandLineFilePath().isEmpty());
}

TEST(CommandLine, EmptyArgumentListIsAnInteractiveRun)
{
    CJetvaneApp app;
    EXPECT_TRUE(app.ParseCommandLine({}, nullptr));
}

TEST(CommandLine, SilentAloneIsUnderstoodButNamesNoRequest)
{
    const Parsed parsed = Parse({"SILENT"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.app.SilentMode());
    EXPECT_TRUE(parsed.app.CommandLineVerb().isEmpty());
    EXPECT_TRUE(parsed.app.CommandLineFilePath().isEmpty());
}

TEST(CommandLine, VerbWithoutFileLeavesThePathEmpty)
{
    const Parsed parsed = Parse({"LOADFIRMWARE"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.app.CommandLineVerb(), "LOADFIRMWARE");
    EXPECT_TRUE(parsed.app.CommandLineFilePath().isEmpty());
}

TEST(CommandLine, UnknownWordBeforeTheVerbIsReportedWithItsIndex)
{
    const Parsed parsed = Parse({"FOO", "LOADFIRMWARE", "x.bin"});
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.output, "1: FOO\n");
}

TEST(CommandLine, EveryUnknownWordIsReported)
{
    const Parsed parsed = Parse({"FOO", "BAR"});
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.output, "1: FOO\n2: BAR\n");
    // Kept as typed for the line on standard error; words after the verb are no such words.
    EXPECT_EQ(parsed.app.UnrecognisedWords(), QStringList({"FOO", "BAR"}));
    EXPECT_EQ(Parse({" -x ", "SENDCONFIG", "y"}).app.UnrecognisedWords(), QStringList({" -x "}));
    EXPECT_TRUE(Parse({"SENDCONFIG", "a", "b"}).app.UnrecognisedWords().isEmpty());
}

TEST(CommandLine, UnknownWordIsReportedAsTypedInUtf8)
{
    const Parsed parsed = Parse({QStringLiteral("  -Gr\u00FC\u00DFe ")});
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.output, "1:   -Gr\xC3\xBC\xC3\x9F" "e \n");
}

TEST(CommandLine, LaterFileNameReplacesEarlierOne)
{
    const Parsed parsed = Parse({"SENDCONFIG", "a.QV_BTP_CFG", "b.QV_BTP_CFG"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.app.CommandLineVerb(), "SENDCONFIG");
    EXPECT_EQ(parsed.app.CommandLineFilePath(), "b.QV_BTP_CFG");
}

TEST(CommandLine, LaterVerbReplacesEarlierOneAndKeepsThePath)
{
    const Parsed parsed = Parse({"SENDCONFIG", "f", "LOADFIRMWARE"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.app.CommandLineVerb(), "LOADFIRMWARE");
    EXPECT_EQ(parsed.app.CommandLineFilePath(), "f");
}

TEST(CommandLine, SilentIsRecognisedAfterTheVerb)
{
    const Parsed parsed = Parse({"LOADFIRMWARE", "SILENT", "F2QV1_a.BIN"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.app.SilentMode());
    EXPECT_EQ(parsed.app.CommandLineVerb(), "LOADFIRMWARE");
    EXPECT_EQ(parsed.app.CommandLineFilePath(), "F2QV1_a.BIN");
}

TEST(CommandLine, WordsTakeAnyCaseAndLeadingSwitchCharacters)
{
    const Parsed parsed = Parse({"/sendconfig", "-silent", "/home/tech/cfg/a.QV_BTP_CFG"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.app.SilentMode());
    EXPECT_EQ(parsed.app.CommandLineVerb(), "SENDCONFIG");
}

TEST(CommandLine, AbsoluteFilePathKeepsItsLeadingSlash)
{
    const Parsed parsed = Parse({"/sendconfig", "-silent", "/home/tech/cfg/a.QV_BTP_CFG"});
    EXPECT_EQ(parsed.app.CommandLineFilePath(), "/home/tech/cfg/a.QV_BTP_CFG");
}

TEST(CommandLine, UncFilePathKeepsItsBackslashes)
{
    const Parsed parsed = Parse({"LOADFIRMWARE", "\\\\srv\\share\\F2QV1_x.BIN"});
    EXPECT_EQ(parsed.app.CommandLineFilePath(), "\\\\srv\\share\\F2QV1_x.BIN");
}

TEST(CommandLine, FilePathIsTrimmedOfWhiteSpace)
{
    const Parsed parsed = Parse({"LOADFIRMWARE", "  /fw/F2QV1_a.BIN\t"});
    EXPECT_EQ(parsed.app.CommandLineFilePath(), "/fw/F2QV1_a.BIN");
}

TEST(CommandLine, SwitchCharactersAndBlanksAroundAWordAreIgnored)
{
    const Parsed parsed = Parse({" \\Silent ", "--SENDFIRMWARE", "-/\\ loadfirmware"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.app.SilentMode());
    EXPECT_EQ(parsed.app.CommandLineVerb(), "LOADFIRMWARE");
}

TEST(CommandLine, SendFirmwareMeansLoadFirmware)
{
    const Parsed parsed = Parse({"SENDFIRMWARE", "F2QV1_a.BIN"});
    EXPECT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.app.CommandLineVerb(), "LOADFIRMWARE");
    EXPECT_EQ(parsed.app.CommandLineFilePath(), "F2QV1_a.BIN");
}

TEST(CommandLine, BlankArgumentBeforeAVerbIsReportedAsTyped)
{
    const Parsed parsed = Parse({"   "});
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.output, "1:    \n");
}

TEST(CommandLine, BlankArgumentAfterAVerbSetsAnEmptyPath)
{
    const Parsed parsed = Parse({"SENDCONFIG", "a.QV_BTP_CFG", "   "});
    EXPECT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.app.CommandLineFilePath().isEmpty());
}

TEST(CommandLine, ParsingAgainStartsFromNothing)
{
    CJetvaneApp app;
    ASSERT_TRUE(app.ParseCommandLine({kProgram, "SILENT", "SENDCONFIG", "a.QV_BTP_CFG"}, nullptr));
    EXPECT_TRUE(app.ParseCommandLine({kProgram}, nullptr));
    EXPECT_FALSE(app.SilentMode());
    EXPECT_TRUE(app.CommandLineVerb().isEmpty());
    EXPECT_TRUE(app.CommandLineFilePath().isEmpty());
}

TEST(CommandWord, StripsEveryLeadingSwitchCharacterBetweenTrims)
{
    EXPECT_EQ(CommandWordOf(" -/\\ silent "), "silent");
    EXPECT_EQ(CommandWordOf("----"), "");
    EXPECT_EQ(CommandWordOf("a-b"), "a-b");
    // Stripping stops at a blank, so a switch character after it stays.
    EXPECT_EQ(CommandWordOf("- /silent"), "/silent");
}

// Only a quit code says that an unattended run succeeded; a run that began SILENT and ended
// without one (its window was closed) failed. A run that began interactive ends with 0.
TEST(CommandLine, ExitCodeOfARunWithAndWithoutAQuitCode)
{
    struct Case {
        QStringList words;
        std::optional<int> quitCode;
        int exitCode;
    };
    const Case cases[] = {
        {{}, std::nullopt, 0},
        {{"SENDCONFIG", "a.QV_BTP_CFG"}, std::nullopt, 0},
        {{"SILENT", "SENDCONFIG", "a.QV_BTP_CFG"}, std::nullopt, 20},
        {{"SILENT", "SENDCONFIG", "a.QV_BTP_CFG"}, 0, 0},
        {{"SILENT", "SENDCONFIG", "a.QV_BTP_CFG"}, 21, 21},
        {{"LOADFIRMWARE"}, 10, 10},
    };
    for (const Case& expected : cases) {
        const Parsed parsed = Parse(expected.words);
        EXPECT_EQ(parsed.app.ExitCodeOfRun(expected.quitCode), expected.exitCode)
            << expected.words.join(u' ').toStdString();
    }
}

} // namespace
