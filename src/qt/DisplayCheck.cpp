#include "qt/DisplayCheck.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tw::qt {

namespace {

QtMessageHandler previousHandler = nullptr;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// A platform chosen by hand (an offscreen or framebuffer one needs no display variable).
bool platformChosen(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
    return !variable("QT_QPA_PLATFORM").empty();
}

[[noreturn]] void endWithoutDisplay() {
    std::string named;
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (const std::string value = variable(name); !value.empty()) {
            named += (named.empty() ? "" : ", ") + std::string(name) + "=" + value;
        }
    }
    const std::string zh =
        "（" + (named.empty() ? "未设置 DISPLAY 或 WAYLAND_DISPLAY" : named) + "）";
    const std::string en =
        " (" + (named.empty() ? "neither DISPLAY nor WAYLAND_DISPLAY is set" : named) + ")";
    const std::string message = "Tarnwick 无法启动：没有可用的图形显示" + zh +
                                "。请在桌面会话中启动本程序。\n" +
                                "Tarnwick cannot start: no usable graphical display" + en +
                                ". Please start it from a desktop session.\n";
    std::fputs(message.c_str(), stderr);
    std::fflush(stderr);
    // At once: the half-made application object must not be torn down.
    std::_Exit(1);
}

// While the application object is made, a fatal message can only be Qt finding no
// platform to show windows on; anything else goes on as before.
void duringStart(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtFatalMsg) {
        endWithoutDisplay();
    }
    if (previousHandler != nullptr) {
        previousHandler(type, context, text);
    }
}

} // namespace

std::unique_ptr<QApplication> startOnDisplay(int& argc, char** argv) {
    if (!platformChosen(argc, argv) && variable("DISPLAY").empty() &&
        variable("WAYLAND_DISPLAY").empty()) {
        endWithoutDisplay();
    }
    previousHandler = qInstallMessageHandler(duringStart);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previousHandler);
    return app;
}

} // namespace tw::qt
