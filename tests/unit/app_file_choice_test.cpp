// Choosing configuration and firmware files: name checks, types, placeholders, shortcuts
// (symbolic links) and reading a whole file.
#include "app/file_choice.h"

#include "comms/device_types.h"
#include "settings/settings_definitions.h"
#include "settings/settings_record.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace {

// A fresh folder, removed with everything in it at the end of the test.
class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/jetvane-app-test-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string File(const std::string& name, const std::string& content) const
    {
        const std::string full = path_ + "/" + name;
        std::ofstream(full, std::ios::binary) << content;
        return full;
    }
    std::string Link(const std::string& name, const std::string& target) const
    {
        const std::string full = path_ + "/" + name;
        EXPECT_EQ(symlink(target.c_str(), full.c_str()), 0);
        return full;
    }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

TEST(SilentConfigName, AcceptsTheThreeExtensionsInAnyCase)
{
    EXPECT_TRUE(IsSilentConfigFileAccepted("/home/tech/cfg/a.QV_BTP_CFG"));
    EXPECT_TRUE(IsSilentConfigFileAccepted("/home/tech/cfg/a.QV_BPP_CFG"));
    EXPECT_TRUE(IsSilentConfigFileAccepted("/home/tech/cfg/a.qv_eeprom_cfg"));
}

TEST(SilentConfigName, RefusesOtherEndings)
{
    EXPECT_FALSE(IsSilentConfigFileAccepted("/home/tech/cfg/a.lnk"));
    EXPECT_FALSE(IsSilentConfigFileAccepted("/home/tech/cfg/a.QV_BTP_CFG "));
    EXPECT_FALSE(IsSilentConfigFileAccepted(""));
}

TEST(SilentConfigName, ShortPathIsComparedWhole)
{
    EXPECT_TRUE(IsSilentConfigFileAccepted("qv_btp_cfg"));
    EXPECT_FALSE(IsSilentConfigFileAccepted("BTP_CFG"));
}

TEST(SilentFirmwareName, NameAndSuffixInAnyCase)
{
    EXPECT_TRUE(IsSilentFirmwareFileAccepted("/home/tech/fw/f2qv1_abc.bin"));
    EXPECT_TRUE(IsSilentFirmwareFileAccepted("F2QV1_a.BIN"));
}

TEST(SilentFirmwareName, NameMustBeginWithThePrefix)
{
    EXPECT_FALSE(IsSilentFirmwareFileAccepted("/home/tech/fw/firmware.BIN"));
    // The prefix counts in the name, not in a folder.
    EXPECT_FALSE(IsSilentFirmwareFileAccepted("/home/F2QV1_fw/a.BIN"));
}

TEST(SilentFirmwareName, PathMustEndInBin)
{
    EXPECT_FALSE(IsSilentFirmwareFileAccepted("/home/tech/fw/F2QV1_a.LNK"));
    EXPECT_FALSE(IsSilentFirmwareFileAccepted("F2QV1_"));
}

TEST(PathParts, NameAndFolderAtTheLastSlash)
{
    EXPECT_EQ(FileNameOfPath("/home/tech/fw/F2QV1_a.BIN"), "F2QV1_a.BIN");
    EXPECT_EQ(FolderOfPath("/home/tech/fw/F2QV1_a.BIN"), "/home/tech/fw");
    EXPECT_EQ(FileNameOfPath("F2QV1_a.BIN"), "F2QV1_a.BIN");
    EXPECT_EQ(FolderOfPath("F2QV1_a.BIN"), "");
}

TEST(ConfigFileType, ExtensionsGiveTheirTypes)
{
    EXPECT_EQ(ConfigFileTypeFromName("a.QV_BTP_CFG"), DEVICE_TYPE_BTP);
    EXPECT_EQ(ConfigFileTypeFromName("a.QV_BPP_CFG"), DEVICE_TYPE_BPP);
    EXPECT_EQ(ConfigFileTypeFromName("a.QV_EEPROM_CFG"), DEVICE_TYPE_ANY);
}

TEST(ConfigFileType, LowerCaseExtensionIsUpperCased)
{
    EXPECT_EQ(ConfigFileExtension("site.qv_bpp_cfg"), "QV_BPP_CFG");
    EXPECT_EQ(ConfigFileTypeFromName("site.qv_bpp_cfg"), DEVICE_TYPE_BPP);
}

TEST(ConfigFileType, TrailingBlanksAreTrimmedOffTheExtension)
{
    EXPECT_EQ(ConfigFileExtension("a.QV_BTP_CFG  "), "QV_BTP_CFG");
    EXPECT_EQ(ConfigFileTypeFromName("a.QV_BTP_CFG  "), DEVICE_TYPE_BTP);
}

TEST(ConfigFileType, OnlyTheLastExtensionCounts)
{
    EXPECT_EQ(ConfigFileTypeFromName("a.QV_BTP_CFG.txt"), std::nullopt);
    EXPECT_EQ(ConfigFileTypeFromName("a.txt.QV_BPP_CFG"), DEVICE_TYPE_BPP);
}

TEST(ConfigFileType, NameWithoutDotIsItsOwnExtension)
{
    EXPECT_EQ(ConfigFileExtension("qv_btp_cfg"), "QV_BTP_CFG");
    EXPECT_EQ(ConfigFileTypeFromName("qv_btp_cfg"), DEVICE_TYPE_BTP);
}

TEST(ConfigFileType, OtherExtensionsAreRefused)
{
    EXPECT_EQ(ConfigFileTypeFromName("a.txt"), std::nullopt);
    EXPECT_EQ(ConfigFileTypeFromName(""), std::nullopt);
}

TEST(ConfigFileFit, SameTypeFits)
{
    EXPECT_TRUE(FitOfSettingsFile(BppSettingsDefinition(), "A.QV_BPP_CFG", "").fits);
    EXPECT_FALSE(FitOfSettingsFile(BtpSettingsDefinition(), "A.QV_BPP_CFG", "").fits);
    // EEPROM files fit the EEPROM settings, and only they do, whatever their record.
    EXPECT_TRUE(FitOfSettingsFile(EepromSettingsDefinition(), "a.qv_eeprom_cfg", "\x7F~\x03+16\x7F").fits);
    EXPECT_FALSE(FitOfSettingsFile(EepromSettingsDefinition(), "A.QV_BTP_CFG", "").fits);
    EXPECT_FALSE(FitOfSettingsFile(BtpSettingsDefinition(), "A.QV_EEPROM_CFG", "").fits);
}

TEST(ConfigFileFit, EepromFileFitsEitherFamily)
{
    EXPECT_TRUE(EepromFileFitsEitherFamily("A.QV_EEPROM_CFG"));
    EXPECT_TRUE(EepromFileFitsEitherFamily("a.qv_eeprom_cfg"));
}

TEST(ConfigFileFit, EepromMarkerAtTheVeryStartDoesNotCount)
{
    EXPECT_FALSE(EepromFileFitsEitherFamily(".QV_EEPROM_CFG"));
}

// The family that a record names in its device-type fields ('~' 0x03, +1 bag-tag, +16
// boarding-pass), read as the settings dialog of the family asked about reads the record: the
// other family when any field names it, else that family when one names it.
TEST(ConfigFileFamily, TheRecordIsReadAsTheDialogsReadIt)
{
    constexpr int kNone = 0;
    for (const auto& [what, family, record, byRecord] :
         {std::tuple{"boarding-pass settings", DEVICE_TYPE_BTP, "\x7F~\x01+2\x7F~\x03+16\x7Fq\x7F", DEVICE_TYPE_BPP},
          {"bag-tag settings", DEVICE_TYPE_BPP, "\x7F}\x0A" "41\x7F~\x03+1\x7F", DEVICE_TYPE_BTP},
          {"after a run of DEL", DEVICE_TYPE_BPP, "\x7F\x7F\x7F~\x03+1\x7F", DEVICE_TYPE_BTP},
          {"either family named", DEVICE_TYPE_BTP, "\x7F~\x03+1\x7F~\x03+16\x7F", DEVICE_TYPE_BPP},
          {"own family", DEVICE_TYPE_BTP, "\x7F~\x03+1\x7F", DEVICE_TYPE_BTP},
          {"as hexadecimal digits", DEVICE_TYPE_BPP, "\x7F~\x03" "31\x7F", DEVICE_TYPE_BTP},
          {"digits and more, before the record breaks", DEVICE_TYPE_BTP, "\x7F~\x03+16 BPP\x7F", DEVICE_TYPE_BPP},
          {"no device-type field", DEVICE_TYPE_BTP, "\x7F~\x01+2\x7F}\x03+16\x7F~\x13+16\x7F", kNone},
          {"a code of no family", DEVICE_TYPE_BPP, "\x7F~\x03+17\x7F~\x03+99999999999\x7F", kNone},
          {"negative", DEVICE_TYPE_BPP, "\x7F~\x03-1\x7F", kNone},
          {"the value runs to the end", DEVICE_TYPE_BPP, "\x7F~\x03+1", kNone},
          {"key inside a value", DEVICE_TYPE_BPP, "\x7F}\x0A~\x03+1\x7F", kNone},
          // A DEL as a field's parameter opens no field: the key behind it is that field's value.
          {"DEL as a parameter", DEVICE_TYPE_BTP, "\x7F}\x7F~\x03+16\x7F", kNone},
          {"DEL as a parameter, hex digits", DEVICE_TYPE_BPP, "\x7F~\x7F~\x03" "31\x7F", kNone},
          // A text whose hex digits stop at another character breaks the record there.
          {"behind a broken hex text", DEVICE_TYPE_BTP, "\x7F}\x0A" "41x\x7F~\x03+16\x7F", kNone},
          {"no record", DEVICE_TYPE_BTP, "", kNone}}) {
        SCOPED_TRACE(what);
        const char* const name = family == DEVICE_TYPE_BPP ? "gate.QV_BPP_CFG" : "desk.QV_BTP_CFG";
        const SettingsFileFit fit = FitOfSettingsFile(
            family == DEVICE_TYPE_BPP ? BppSettingsDefinition() : BtpSettingsDefinition(), name, record);
        EXPECT_EQ(fit.byRecord.value_or(kNone), byRecord);
        EXPECT_EQ(fit.fits, byRecord != (family == DEVICE_TYPE_BPP ? DEVICE_TYPE_BTP : DEVICE_TYPE_BPP));
    }
}

// A chosen path as the profile keeps it: a relative one behind the working folder, others as
// written, "<%FilePath%>" being a folder of its own (".." through a link is left to the system).
TEST(ProfilePath, RelativePathsGoBehindTheWorkingFolder)
{
    for (const auto& [path, kept] : {std::pair{"rel.QV_BTP_CFG", "/home/tech/cfg/rel.QV_BTP_CFG"},
                                     {"fw/F2QV1_a.BIN", "/home/tech/cfg/fw/F2QV1_a.BIN"},
                                     {"../F2QV1_a.BIN", "/home/tech/cfg/../F2QV1_a.BIN"},
                                     {"gate 7.qv_bpp_cfg ", "/home/tech/cfg/gate 7.qv_bpp_cfg "},
                                     {"<%FileName%>", "/home/tech/cfg/<%FileName%>"},
                                     {"/srv/cfg/a.QV_BTP_CFG", "/srv/cfg/a.QV_BTP_CFG"},
                                     {"<%FilePath%>/<%FileName%>", "<%FilePath%>/<%FileName%>"},
                                     {"", ""}}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(AbsoluteFilePath(path, "/home/tech/cfg"), kept);
    }
}

TEST(Placeholders, EveryOccurrenceIsReplaced)
{
    EXPECT_EQ(ReplaceFilePlaceholders("<%FilePath%>/<%FileName%>", "/home/tech/fw", "F2QV1_a.BIN"),
              "/home/tech/fw/F2QV1_a.BIN");
    EXPECT_EQ(ReplaceFilePlaceholders("<%FileName%>.<%FileName%>", "", "x"), "x.x");
}

TEST(Placeholders, MatchIsCaseSensitive)
{
    EXPECT_EQ(ReplaceFilePlaceholders("<%filepath%>/<%FILENAME%>", "/d", "n"), "<%filepath%>/<%FILENAME%>");
}

TEST(ConfigFileProposal, DefaultNameAloneOrInTheSettingsFolder)
{
    EXPECT_EQ(DefaultConfigFileProposal(""), "Jetvane.QV_BTP_CFG");
    EXPECT_EQ(DefaultConfigFileProposal("/home/tech/cfg"), "/home/tech/cfg/Jetvane.QV_BTP_CFG");
}

TEST(ResolveShortcut, LinkChainResolvesToItsFinalTarget)
{
    TempFolder folder;
    const std::string real = folder.File("F2QV1_real.BIN", "image");
    folder.Link("middle.BIN", real);
    const std::string link = folder.Link("F2QV1_x.LNK", folder.Path() + "/middle.BIN");
    QString target;
    const int length = ResolveShortcutPath(Q(link), target);
    EXPECT_EQ(target, Q(real));
    EXPECT_EQ(length, static_cast<int>(real.size()));
}

TEST(ResolveShortcut, RelativeLinkGivesAnAbsoluteTarget)
{
    TempFolder folder;
    const std::string real = folder.File("F2QV1_real.BIN", "image");
    const std::string link = folder.Link("F2QV1_rel.LNK", "F2QV1_real.BIN");
    QString target;
    EXPECT_GT(ResolveShortcutPath(Q(link), target), 0);
    EXPECT_EQ(target, Q(real));
}

TEST(ResolveShortcut, PathThatIsNoLinkGivesZeroAndLeavesTheTarget)
{
    TempFolder folder;
    const std::string real = folder.File("F2QV1_real.BIN", "image");
    QString target = "untouched";
    EXPECT_EQ(ResolveShortcutPath(Q(real), target), 0);
    EXPECT_EQ(target, "untouched");
}

TEST(ResolveShortcut, DanglingLinkGivesZero)
{
    TempFolder folder;
    const std::string link = folder.Link("F2QV1_gone.LNK", folder.Path() + "/missing.BIN");
    QString target;
    EXPECT_EQ(ResolveShortcutPath(Q(link), target), 0);
}

TEST(ResolveShortcut, PathShorterThanTenCharactersIsNotResolved)
{
    TempFolder folder;
    const std::string real = folder.File("F2QV1_real.BIN", "image");
    folder.Link("s.LNK", real);
    folder.Link("long-enough.LNK", real);
    char saved[4096] = {};
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(folder.Path().c_str()), 0);
    QString shortTarget;
    QString longTarget;
    const int shortLength = ResolveShortcutPath("s.LNK", shortTarget);
    const int longLength = ResolveShortcutPath("long-enough.LNK", longTarget);
    ASSERT_EQ(chdir(saved), 0);
    EXPECT_EQ(shortLength, 0);
    EXPECT_GT(longLength, 0);
    EXPECT_EQ(longTarget, Q(real));
}

TEST(ResolveShortcut, PathLongerThan260CharactersIsNotResolved)
{
    QString target;
    EXPECT_EQ(ResolveShortcutPath(QString(261, u'a'), target), 0);
}

// The one path that both the main dialog and the settings dialogs open and remember: a link
// stands for its target; anything else, a link not resolved included, for the file it names
// from the working folder.
TEST(ResolvedPath, ALinkGivesItsTargetAnyOtherPathAnAbsoluteOne)
{
    TempFolder folder;
    const std::string real = folder.File("desk.QV_BTP_CFG", "frame");
    folder.Link("to-desk.QV_BTP_CFG", real);
    folder.Link("s.LNK", real);
    folder.Link("gone.QV_BTP_CFG", folder.Path() + "/missing.QV_BTP_CFG");
    const std::string tooLong = "/" + std::string(261, 'a');
    char saved[4096] = {};
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(chdir(folder.Path().c_str()), 0);
    for (const auto& [chosen, resolved] :
         {std::pair{folder.Path() + "/to-desk.QV_BTP_CFG", real},
          {"to-desk.QV_BTP_CFG", real},
          {"desk.QV_BTP_CFG", real},
          {"gone.QV_BTP_CFG", folder.Path() + "/gone.QV_BTP_CFG"},
          {"s.LNK", folder.Path() + "/s.LNK"},
          {tooLong, tooLong},
          {"<%FilePath%>/<%FileName%>", "<%FilePath%>/<%FileName%>"},
          {"", ""}}) {
        SCOPED_TRACE(chosen);
        EXPECT_EQ(ResolvedPath(Q(chosen)), Q(resolved));
    }
    ASSERT_EQ(chdir(saved), 0);
}

TEST(ReadWholeFile, ContentIsFollowedByAZeroByte)
{
    TempFolder folder;
    const std::string path = folder.File("a.QV_BTP_CFG", std::string("ab\0c", 4));
    FileImage image;
    ASSERT_EQ(ReadWholeFile(Q(path), image), FileReadResult::Ok);
    ASSERT_EQ(image.length, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.buffer.get()), 4), std::string("ab\0c", 4));
    EXPECT_EQ(image.buffer[4], 0);
}

TEST(ReadWholeFile, EmptyFileLoadsWithLengthZero)
{
    TempFolder folder;
    const std::string path = folder.File("F2QV1_empty.BIN", "");
    FileImage image;
    ASSERT_EQ(ReadWholeFile(Q(path), image), FileReadResult::Ok);
    EXPECT_EQ(image.length, 0u);
    ASSERT_NE(image.buffer, nullptr);
    EXPECT_EQ(image.buffer[0], 0);
    EXPECT_TRUE(image.IsEmpty());
}

TEST(ReadWholeFile, MissingFileKeepsThePreviousImage)
{
    TempFolder folder;
    FileImage image;
    ASSERT_EQ(ReadWholeFile(Q(folder.File("F2QV1_old.BIN", "old")), image), FileReadResult::Ok);
    EXPECT_EQ(ReadWholeFile(Q(folder.Path() + "/F2QV1_missing.BIN"), image), FileReadResult::OpenFailed);
    EXPECT_EQ(image.length, 3u);
}

TEST(ReadWholeFile, FolderCannotBeOpened)
{
    TempFolder folder;
    FileImage image;
    EXPECT_EQ(ReadWholeFile(Q(folder.Path()), image), FileReadResult::OpenFailed);
    EXPECT_EQ(ReadWholeFile(QString(), image), FileReadResult::OpenFailed);
}

TEST(ImageFile, FileShorterThanWhenOpenedIsAShortRead)
{
    TempFolder folder;
    const std::string path = folder.File("F2QV1_a.BIN", "0123456789");
    FileImage image;
    ImageFile file;
    ASSERT_TRUE(file.Open(Q(path)));
    EXPECT_EQ(file.Length(), 10u);
    ASSERT_EQ(truncate(path.c_str(), 4), 0);
    EXPECT_EQ(file.ReadInto(image), FileReadResult::ShortRead);
    EXPECT_EQ(image.length, 0u);
    EXPECT_EQ(image.buffer, nullptr);
    EXPECT_FALSE(file.IsOpen());
}

// Lengths around the largest that a signed 32-bit length announces: 2147483647 is read whole
// in principle (the test stops short of allocating 2 GiB by checking only what Open saw); one
// byte more, or 4 GiB and 3 bytes (whose low 32 bits are 3), is refused rather than read as
// its first bytes.
TEST(ImageFile, FileLongerThanASigned32BitLengthIsRefusedNotCut)
{
    TempFolder folder;
    struct Case {
        std::uint64_t length;
        bool fits;
    };
    for (const Case& expected : {Case{2147483647u, true}, Case{2147483648u, false}, Case{4294967295u, false},
                                 Case{4294967299u, false}}) {
        SCOPED_TRACE(expected.length);
        const std::string path = folder.File("F2QV1_huge.BIN", "abc");
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(expected.length)), 0);
        FileImage image;
        ASSERT_EQ(ReadWholeFile(Q(folder.File("F2QV1_old.BIN", "old")), image), FileReadResult::Ok);
        ImageFile file;
        ASSERT_TRUE(file.Open(Q(path)));
        EXPECT_EQ(file.LengthFits(), expected.fits);
        if (expected.fits)
            continue;
        EXPECT_EQ(file.ReadInto(image), FileReadResult::TooLong);
        EXPECT_EQ(image.length, 0u);
        EXPECT_EQ(image.buffer, nullptr);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Error(), QString("the file is longer than 2147483647 bytes"));
        EXPECT_EQ(ReadWholeFile(Q(path), image), FileReadResult::TooLong);
    }
}

TEST(ImageFile, OpenedFileKnowsItsNameAndFolder)
{
    TempFolder folder;
    const std::string path = folder.File("site.qv_bpp_cfg", "x");
    ImageFile file;
    ASSERT_TRUE(file.Open(Q(path)));
    EXPECT_EQ(file.FullPath(), Q(path));
    EXPECT_EQ(file.FileName(), "site.qv_bpp_cfg");
    EXPECT_EQ(file.Folder(), Q(folder.Path()));
}

} // namespace
