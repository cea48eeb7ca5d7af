#include <gtest/gtest.h>

#include "app/TStatusLog.h"
#include "support/RecordingUserInterface.h"

TEST(TStatusLog, CrLfMakesTwoLinesAndTheEntryReachesTheInterface)
{
    TRecordingUserInterface ui;
    TStatusLog log;
    log.Add("Error al abrir la puerta COM3\r\nPor favor, revise la configuración de los puertos serial");
    log.Add("lone\nLF and lone\rCR");
    ASSERT_EQ(log.Count(), 3u);
    EXPECT_EQ(log.Line(1), QString::fromUtf8("Por favor, revise la configuración de los puertos serial"));
    EXPECT_EQ(log.Line(2), "lone\nLF and lone\rCR");
    EXPECT_EQ(ui.Entries.size(), 2);
    log.Clear();
    EXPECT_EQ(log.Count(), 0u);
    EXPECT_EQ(ui.Clears, 1);
}

TEST(TStatusLog, KeepsOnlyTheMostRecentLines)
{
    TStatusLog log(3);
    for (int i = 0; i < 5; ++i)
        log.Add(QString::number(i));
    EXPECT_EQ(log.Lines(), QStringList({"2", "3", "4"}));
}
