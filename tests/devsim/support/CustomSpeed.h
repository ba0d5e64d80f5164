#pragma once

namespace devsim_test {

// Sets a bit rate that has no B constant (as the engine does for 600000), via termios2.
bool SetCustomSpeed(int fd, unsigned rate);

}  // namespace devsim_test
