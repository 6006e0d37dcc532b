#include "immunize/Modfoldercacls.h"

namespace tw {

bool Modfoldercacls(Ports& ports, const std::string& target) {
    const std::string batch = joinPath(ports.fs, ports.host.tempFolder(), "cacls.bat");
    // The piped "y" answers the tool's question before it replaces the whole list.
    if (!ports.fs.writeTextLines(batch,
                                 {"@echo off", "echo y|cacls.exe " + target + " /p everyone:n"})) {
        return false;
    }
    return ports.host.startBatchFile(batch);
}

} // namespace tw
