#pragma once
// The entry of each window test program: widgets need one QApplication for
// the whole run. Included once by every *_test.cpp in this folder.

#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
    // Runs without a display unless a platform is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
