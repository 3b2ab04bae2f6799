// What only a control reached through COM can do to the OPOS channel: be missing from the registry, lack
// a member, or be another control registered under the same name.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/ZrError.h"
#include "io/IOHandler_OPOS.h"
#include "support/OposTestControls.h"

TEST(OposRegisteredControl, AnUnregisteredControlIsNamedWithTheRegistrysAnswer) {
    ASSERT_EQ(UnregisterOposTestControl(), "");
    kIOHandler_OPOS channel(nullptr, Text(), Text());
    EXPECT_FALSE(channel.Connect());
    EXPECT_EQ(channel.ErrorMessage(), u"[104] OPOS_E_NOSERVICE - The OPOS FiscalPrinter control "
                                      u"(OPOS.FiscalPrinter) is not registered [0x800401F3]");
}

TEST(OposRegisteredControl, AMemberTheControlLacksIsNamed) {
    OposControlSession session(OposTestControl::Registered);
    ASSERT_EQ(session.Error(), "");
    kIOHandler_OPOS channel(nullptr, Text(), Text(), session.NewControl());
    ASSERT_TRUE(channel.Connect());
    session.State()->MissingMember = u"PrintRecTaxID";
    try {
        channel.PrintRecTaxid(u"IT0123");
        ADD_FAILURE() << "no exception";
    } catch (const ZrError& e) {
        EXPECT_EQ(e.Message(), u"OPOS FiscalPrinter has no member PrintRecTaxID [0x80020006]");
    }
    EXPECT_TRUE(channel.PrintRecMessage(u"Grazie"));
}

// The test registers its control only where no other control has the name, and unregisters only its own:
// run on a till, it leaves the real control in place.
TEST(OposRegisteredControl, TheTestControlNeverReplacesAnotherOne) {
    ASSERT_EQ(UnregisterOposTestControl(), "");
    const wchar_t* other = L"{00000000-1111-2222-3333-444444444444}";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"OPOS.FiscalPrinter\\CLSID", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(other),
                   static_cast<DWORD>((wcslen(other) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    EXPECT_EQ(RegisterOposTestControl(), "DllRegisterServer failed [0x80040201]");
    EXPECT_EQ(UnregisterOposTestControl(), "");
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    EXPECT_EQ(RegGetValueW(HKEY_CLASSES_ROOT, L"OPOS.FiscalPrinter\\CLSID", nullptr, RRF_RT_REG_SZ, nullptr,
                           value, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, other);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, L"OPOS.FiscalPrinter");
}
