// The Qt view tests need one QApplication for the whole run.
#include <QApplication>

#include <gmock/gmock.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // Also when the program is started by hand or listed by CTest's discovery.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
