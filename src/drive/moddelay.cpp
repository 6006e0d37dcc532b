#include "drive/moddelay.h"

namespace tw {

void Delay(Clock& clock, int seconds) {
    if (seconds > 0) {
        clock.wait(std::chrono::seconds(seconds));
    }
}

} // namespace tw
