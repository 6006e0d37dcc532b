#include "immunize/modfsconvert.h"

#include "drive/moddelay.h"

namespace tw {

void modfsconvert(Ports& ports, const std::string& drivePath) {
    const std::string batch = joinPath(ports.fs, ports.host.tempFolder(), "convert.bat");
    if (!ports.fs.writeTextLines(batch,
                                 {"@echo off", "convert.exe " + drivePath + " /fs:ntfs /x"})) {
        return;
    }
    Delay(ports.clock, 2);
    // The host quotes the path, so a temporary folder with spaces cannot make it start
    // some other program.
    ports.host.startBatchFile(batch);
}

} // namespace tw
