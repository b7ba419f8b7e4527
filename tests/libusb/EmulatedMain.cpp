// Runs the emulated-adapter tests, or says why they cannot run at all.
#include <cstdio>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

// umockdev diverts /sys, /dev and the usbfs ioctls only through its preload library.
bool PreloadLibraryLoaded() {
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find("libumockdev-preload") != std::string::npos) return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (!PreloadLibraryLoaded()) {
        std::fprintf(stderr, "SKIPPED: umockdev's preload library is not loaded, so no USB "
                             "device can be emulated; run under umockdev-wrapper.\n");
        return 77;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
