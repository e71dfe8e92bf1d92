// Test main of the window-free test executables (platform, data, commands):
// a QCoreApplication only, as the subcommands have, then GoogleTest.
#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
