#pragma once

#include "ports/Ports.h"

namespace tw {

// The click of Label6 "立即扫描（S)".
void ScanCommand(Ports& ports, AppState& state);

// A click of Label6 while a full scan runs: asks whether to stop it.
void AskToStopFullScan(MainView& view, AppState& state);

} // namespace tw
