// Test main: a Qt application object exists for the whole run, as in the program.
#include <QCoreApplication>
#include <gtest/gtest.h>

#include "platform/RegionalSettings.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    // Fixed regional settings unless a test injects its own.
    RegionalSettings::SetCurrent(RegionalSettings{});
    return RUN_ALL_TESTS();
}
