// A fresh simulated board for each test.
#pragma once

#include "tests/support/Files.h"

#include <gtest/gtest.h>

#include <string>

namespace vrec::test {

// Root of the board the current test runs on.
std::string BoardRoot();
// Host path of a device path on the current board ("/sdcard/x" -> ".../sdcard/x").
std::string HostPath(const std::string& devicePath);


// Makes a new board for the test (named after it) and powers it on in this
// process: a device-formatted card is in the slot and mounted. Firmware
// state kept in statics (settings table, menu values) is reset too.
class BoardTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Powers the board on again (as after a power cycle) without losing it.
    void PowerCycle();
};

// Creates a board root named `name` from scratch (no process state changed).
std::string MakeFreshBoard(const std::string& name);

}  // namespace vrec::test
