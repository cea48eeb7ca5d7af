#include <gtest/gtest.h>

#include <optional>

#include "config/TIniText.h"

namespace {

struct ReadCase {
    const char* Name;
    QByteArray File;
    const char* Section;
    const char* Key;
    std::optional<QString> Expected;
};

class TIniTextRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TIniTextRead, FindsTheValueByTheProfileRules)
{
    const ReadCase& c = GetParam();
    EXPECT_EQ(TIniText::ReadValue(c.File, c.Section, c.Key), c.Expected) << c.Name;
}

const QString kO = QString(QChar(0xD3));  // "Ó"

INSTANTIATE_TEST_SUITE_P(
    Cases, TIniTextRead,
    ::testing::Values(
        ReadCase{"names without case", "[geral]\r\nportahost=9292\r\n", "GERAL", "PortaHost", "9292"},
        ReadCase{"blanks around names and value", "  [ GERAL ]  \r\n  Key  =  a b  \r\n", "GERAL", "Key", "a b"},
        ReadCase{"double quotes dropped", "[S]\r\nK=\" x \"\r\n", "S", "K", " x "},
        ReadCase{"single quotes dropped", "[S]\r\nK='x'\r\n", "S", "K", "x"},
        ReadCase{"only one pair dropped", "[S]\r\nK=\"\"x\"\"\r\n", "S", "K", "\"x\""},
        ReadCase{"mismatched quotes kept", "[S]\r\nK=\"x'\r\n", "S", "K", "\"x'"},
        ReadCase{"a lone quote kept", "[S]\r\nK=\"\r\n", "S", "K", "\""},
        ReadCase{"blanks only read empty", "[S]\r\nK=     \r\n", "S", "K", ""},
        ReadCase{"equals sign inside the value", "[S]\r\nK=a=b\r\n", "S", "K", "a=b"},
        ReadCase{"LF line ends", "[A]\nx=1\n[S]\nK=v\n", "S", "K", "v"},
        ReadCase{"CR line ends", "[A]\rx=1\r[S]\rK=v\r", "S", "K", "v"},
        ReadCase{"no final line break", "[S]\r\nK=v", "S", "K", "v"},
        ReadCase{"key of another section", "[A]\r\nK=1\r\n[S]\r\n", "S", "K", std::nullopt},
        ReadCase{"key before any section", "K=1\r\n[S]\r\n", "S", "K", std::nullopt},
        ReadCase{"comment is no key", "[S]\r\n;K=1\r\n", "S", "K", std::nullopt},
        ReadCase{"first of duplicate keys", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "1"},
        ReadCase{"first of duplicate sections", "[S]\r\nA=1\r\n[S]\r\nK=2\r\n", "S", "K", std::nullopt},
        ReadCase{"header without its bracket", "[S\r\nK=1\r\n", "S", "K", std::nullopt},
        ReadCase{"Windows-1252 bytes", "[S]\r\nK=\xD3K\r\n", "S", "K", kO + "K"},
        ReadCase{"Windows-1252 names without case", "[\xF3]\r\nK=1\r\n", "\xC3\x93", "K", "1"},
        ReadCase{"NUL bytes are text", QByteArray("[S]\r\nK=a\0b\r\n", 11), "S", "K",
                 QString::fromLatin1("a\0b", 3)}),
    [](const auto& info) { return std::to_string(info.index); });

struct WriteCase {
    const char* Name;
    QByteArray Before;
    const char* Section;
    const char* Key;
    const char* Value;
    QByteArray After;
};

class TIniTextWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(TIniTextWrite, ChangesOnlyTheKey)
{
    const WriteCase& c = GetParam();
    EXPECT_EQ(TIniText::WriteValue(c.Before, c.Section, c.Key, QString::fromUtf8(c.Value)), c.After)
        << c.Name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TIniTextWrite,
    ::testing::Values(
        WriteCase{"new file", "", "S", "K", "v", "[S]\r\nK=v\r\n"},
        WriteCase{"new section at the end", "; c\n[A]\nx=1\n", "S", "K", "v", "; c\n[A]\nx=1\n[S]\r\nK=v\r\n"},
        WriteCase{"new key after the section's last key",
                  "[A]\r\nx=1\r\n; about B\r\n\r\n[B]\r\ny=2\r\n", "a", "z", "3",
                  "[A]\r\nx=1\r\nz=3\r\n; about B\r\n\r\n[B]\r\ny=2\r\n"},
        WriteCase{"new key in a section with no keys", "[A]\n\n[B]\n", "A", "z", "3", "[A]\nz=3\r\n\n[B]\n"},
        WriteCase{"rewritten in place, its spelling and line end kept",
                  "[a]\n  PORT = COM1 ; x\nother=1\n", "A", "Port", "COM3",
                  "[a]\nPORT=COM3\nother=1\n"},
        WriteCase{"first of duplicate keys rewritten", "[S]\r\nK=1\r\nK=2\r\n", "S", "K", "9", "[S]\r\nK=9\r\nK=2\r\n"},
        WriteCase{"last line without its break", "[S]\r\nA=1", "S", "K", "v", "[S]\r\nA=1\r\nK=v\r\n"},
        WriteCase{"header as last line without its break", "[S]", "S", "K", "v", "[S]\r\nK=v\r\n"},
        WriteCase{"other section's last line without its break", "[A]\r\nA=1", "S", "K", "v",
                  "[A]\r\nA=1\r\n[S]\r\nK=v\r\n"},
        WriteCase{"rewritten last line keeps having no break", "[S]\r\nK=1", "S", "K", "22", "[S]\r\nK=22"},
        WriteCase{"line breaks in a value cannot add lines", "", "S", "K", "a\r\n[GERAL]\nb",
                  "[S]\r\nK=a  [GERAL] b\r\n"},
        WriteCase{"Windows-1252 value", "", "S", "K", "\xC3\x93", "[S]\r\nK=\xD3\r\n"},
        WriteCase{"blanks written as they are", "", "S", "K", "     ", "[S]\r\nK=     \r\n"}),
    [](const auto& info) { return std::to_string(info.index); });

TEST(TIniText, AnyBytesAreReadAndKeptOnWrite)
{
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 7919) & 0xFF));
    const QByteArray longLine(10 * 1024 * 1024, 'x');
    const QByteArray file = garbage + "\r\n" + longLine + "=" + longLine;
    EXPECT_FALSE(TIniText::ReadValue(file, "S", "K"));
    const QByteArray written = TIniText::WriteValue(file, "S", "K", "v");
    EXPECT_TRUE(written.startsWith(file));
    EXPECT_EQ(TIniText::ReadValue(written, "S", "K"), QString("v"));
}

}  // namespace
