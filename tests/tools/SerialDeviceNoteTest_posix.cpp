// On Linux a serial port is a device the technician must name: a failure says which device was looked
// for and which variable names another, so "COM9 is not a valid COM port." does not leave them guessing.
#include <gtest/gtest.h>

#include "Console.h"
#include "support/ScopedEnvironment.h"

TEST(SerialDeviceNote, NamesTheDeviceLookedForAndTheVariable) {
    const struct {
        const char* Port;
        const char16_t* Named; // ZRPA_SERIAL_COM9; empty: not set
        const char* Note;
    } kCases[] = {
        {"COM9", u"",
         "COM9 is /dev/ttyS8 on this computer; for a USB adapter or another device set ZRPA_SERIAL_COM9 "
         "(for example ZRPA_SERIAL_COM9=/dev/ttyUSB0)"},
        {"COM1", u"",
         "COM1 is /dev/ttyS0 on this computer; for a USB adapter or another device set "
         "ZRPA_SERIAL_COM1 (for example ZRPA_SERIAL_COM1=/dev/ttyUSB0)"},
        {"COM9", u"/dev/ttyUSB3",
         "COM9 is /dev/ttyUSB3 (ZRPA_SERIAL_COM9): check that this device exists and that you may open it"},
        {"COM0", u"", ""},
        {"COMX", u"", ""},
        {"ttyS0", u"", ""},
    };
    for (const auto& c : kCases) {
        const ScopedEnvironment com9(u"ZRPA_SERIAL_COM9", c.Named);
        const ScopedEnvironment com1(u"ZRPA_SERIAL_COM1", u"");
        EXPECT_EQ(SerialDeviceNote(c.Port), c.Note) << c.Port;
    }
}
