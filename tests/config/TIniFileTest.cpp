#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/stat.h>

#include "config/TIniFile.h"
#include "config/FileBytes.h"
#include "platform/RegionalSettings.h"

namespace {

class TIniFileTest : public ::testing::Test {
protected:
    void TearDown() override { RegionalSettings::SetCurrent(RegionalSettings{}); }
    QString Path() const { return FDir.filePath("ConfigSerial.ini"); }
    // A one-key file read back through a fresh object, as each operation does.
    TIniFile With(const QByteArray& value)
    {
        WriteBytes(Path(), "[S]\r\nK=" + value + "\r\n");
        return TIniFile(Path());
    }
    QTemporaryDir FDir;
};

struct IntCase {
    const char* Value;
    int Expected;  // with the default 7
};

TEST_F(TIniFileTest, IntegerAndBooleanForms)
{
    const IntCase cases[] = {
        {"16", 16},   {"-3", -3},      {"+4", 4},       {"0x10", 16},     {"0X1f", 31},
        {"0x", 7},    {"0xg", 7},      {"2.5", 7},      {"2,5", 7},       {"yes", 7},
        {"", 7},      {"1 2", 7},      {"\"12\"", 12},  {"2147483647", 2147483647},
        {"2147483648", 7}, {"0x80000000", 7}, {"-", 7}, {"$10", 7},
    };
    for (const IntCase& c : cases) {
        TIniFile ini = With(c.Value);
        EXPECT_EQ(ini.ReadInteger("S", "K", 7), c.Expected) << c.Value;
    }
    EXPECT_TRUE(With("2").ReadBool("S", "K", false));
    EXPECT_FALSE(With("0").ReadBool("S", "K", true));
    EXPECT_TRUE(With("yes").ReadBool("S", "K", true));  // unreadable: keeps the current value
    EXPECT_EQ(TIniFile(Path()).ReadInteger("S", "Missing", 5), 5);
}

TEST_F(TIniFileTest, NumbersFollowTheRegionalDecimalSeparator)
{
    RegionalSettings comma;
    comma.DecimalSeparator = QLatin1Char(',');
    struct {
        const char* Value;
        bool Comma;
        double Expected;  // with the default 9
    } cases[] = {
        {"0.5", false, 0.5}, {"0,5", false, 9}, {"0,5", true, 0.5}, {"0.5", true, 9},
        {"2", false, 2},     {"", false, 9},    {"abc", false, 9},  {"1E3", false, 1000},
    };
    for (const auto& c : cases) {
        RegionalSettings::SetCurrent(c.Comma ? comma : RegionalSettings{});
        EXPECT_EQ(With(c.Value).ReadFloat("S", "K", 9), c.Expected) << c.Value << c.Comma;
    }

    RegionalSettings::SetCurrent(comma);
    TIniFile ini(Path());
    ini.WriteFloat("S", "A", 0.5);
    ini.WriteFloat("S", "B", 1);
    ini.WriteFloat("S", "C", 0.1 + 0.2);
    EXPECT_EQ(ReadBytes(Path()), "[S]\r\nK=1E3\r\nA=0,5\r\nB=1\r\nC=0,3\r\n");
}

TEST_F(TIniFileTest, WritesGoToDiskAtOnceAndReplaceTheFile)
{
    WriteBytes(Path(), "; kept\n[S]\nK=1\n");
    ASSERT_EQ(::chmod(QFile::encodeName(Path()).constData(), 0640), 0);
    const QString link = FDir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(Path(), link));

    TIniFile ini(link);
    ini.WriteInteger("S", "K", 2);
    EXPECT_EQ(ReadBytes(Path()), "; kept\n[S]\nK=2\n");  // the file the link names
    ini.WriteBool("T", "B", true);
    EXPECT_EQ(ReadBytes(Path()), "; kept\n[S]\nK=2\n[T]\r\nB=1\r\n");
    EXPECT_EQ(ini.ReadInteger("S", "K", 0), 2);

    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(QFileInfo(Path()).permissions() & 0x7777, QFileDevice::ReadOwner |
              QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser |
              QFileDevice::ReadGroup);
    // No temporary file stays behind.
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2);
}

TEST_F(TIniFileTest, AFailedWriteNamesTheFileAndChangesNothing)
{
    const QString missingFolder = FDir.filePath("missing/ConfigSerial.ini");
    const QString underFile = Path() + "/ConfigSerial.ini";
    const QString folder = FDir.filePath("folder.ini");
    WriteBytes(Path(), "[S]\r\nK=1\r\n");
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const QString& path : {missingFolder, underFile, folder}) {
        TIniFile ini(path);
        try {
            ini.WriteString("S", "K", "2");
            ADD_FAILURE() << "no error for " << path.toStdString();
        } catch (const EIniFileException& e) {
            EXPECT_EQ(e.Message(), "Unable to write to " + path);
        }
        EXPECT_EQ(ini.ReadString("S", "K", "d"), "d");  // reading never fails
    }
    EXPECT_EQ(ReadBytes(Path()), "[S]\r\nK=1\r\n");
    EXPECT_FALSE(QFileInfo::exists(FDir.filePath("missing")));
}

}  // namespace
