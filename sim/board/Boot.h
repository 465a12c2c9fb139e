// What the board starts at power-on: the application installed in the flash
// partition mtd4, or the build's own program while mtd4 holds none.
#pragma once

#include <string>

namespace vrec::board {

struct BootApplication
{
    std::string program;  // the "app" to run
    std::string workDir;  // its working directory
    bool fromFlash = false;
    std::string version;  // of the installed application
    std::string note;     // what a person should know (empty when nothing to say)
};

// An image in mtd4 is unpacked once into "<root>/boot/app-<checksum>/" and
// started from there. An erased mtd4 starts the build's program; a damaged
// one too, with a note saying so (the device's boot loader would stop).
BootApplication ChooseBootApplication(const std::string& root, const std::string& buildProgram,
                                      const std::string& buildWorkDir);

}  // namespace vrec::board
