// The SIM's PIN asked in a dialog of the window, and Phone ▸ USSD… with a
// two-step menu, against phonesim.
#include "app/tests/stylus_fixture.h"

namespace {

class SimUssdUiTest : public StylusTest {
 protected:
  // The dialog with this caption once it is up; with aId, once that control
  // shows aText (a closed dialog's handle may come back for the next one).
  static HWND WaitForDialog(const std::u16string& aCaption, int aId = 0, const std::u16string& aText = u"") {
    HWND dialog = nullptr;
    WaitFor([&] {
      dialog = kvui::FindByText(aCaption.c_str());
      return dialog != nullptr && kvui::StateOf(dialog).visible &&
             (aId == 0 || kvui::TextOf(kvui::FindById(dialog, aId)) == aText);
    });
    kvui::WaitIdle();
    return dialog;
  }
  static void TapOk(HWND aDialog) {
    kvui::TapWindow(kvui::FindByText(u"OK", aDialog));
    WaitFor([&] { return !IsWindow(aDialog); });
    kvui::WaitIdle();
  }
};

TEST_F(SimUssdUiTest, ThePinIsAskedMaskedWithTheAttemptsLeftAndAgainAfterARefusal) {
  nlohmann::json profile = SmallProfile();
  profile["sim"] = {{"state", "SIM PIN"}, {"pin", "2468"}};
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(Choose(KPhoneMenuX, u"Download messages"));
  HWND first = WaitForDialog(u"SIM PIN");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(first, KKvIdPinPrompt)), u"The SIM asks for its PIN. 3 attempts left.");
  TypeInto(first, KKvIdPinField, u"12");
  kvui::TapWindow(kvui::FindByText(u"OK", first));
  kvui::WaitIdle();
  EXPECT_TRUE(IsWindow(first));  // too short: said, and not sent
  EXPECT_EQ(kvui::TextOf(kvui::FindById(first, KKvIdPinPrompt)),
            u"A PIN is 4 to 8 digits. The SIM asks for its PIN. 3 attempts left.");
  TypeInto(first, KKvIdPinField, u"57");
  Screenshot("sim_pin_masked");
  TapOk(first);

  HWND second = WaitForDialog(u"SIM PIN", KKvIdPinPrompt, u"The SIM refused the PIN. Enter another. 2 attempts left.");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(second, KKvIdPinPrompt)),
            u"The SIM refused the PIN. Enter another. 2 attempts left.");
  TypeInto(second, KKvIdPinField, u"2468");
  TapOk(second);
  EXPECT_EQ(FinishProgress(u"Download messages ..."), u"Transfer Complete.");
  EXPECT_EQ(CountLog("CMobilePhoneBase::UnlockSim - sending AT+CPIN=\"****\""), 2);
  for (const std::string& line : LogLines()) EXPECT_EQ(line.find("1257"), std::string::npos) << line;
  EXPECT_EQ(StopProgram(), 0);
}

TEST_F(SimUssdUiTest, UssdFromThePhoneMenuWithATwoStepMenu) {
  nlohmann::json profile = SmallProfile();
  profile["ussd"] = {{{"request", "*100#"}, {"reply", "1 Balance\n2 Bundles"}, {"menu", true}},
                     {{"request", "*100#>2"}, {"reply", "1 Data\n2 Minutes"}, {"menu", true}, {"coding", "ucs2"}},
                     {{"request", "*100#>2>1"}, {"reply", "Data: 2 GB left"}, {"coding", "packed"}}};
  ASSERT_TRUE(iPhone.Start(profile, iRoot, iRoot + "/dev/COM3")) << iPhone.Errors();
  ASSERT_TRUE(StartProgram());
  ASSERT_TRUE(Choose(KPhoneMenuX, u"USSD…"));
  HWND ask = WaitForDialog(u"USSD");
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(ask, KKvIdUssdPrompt)), u"Code:");
  TypeInto(ask, KKvIdUssdField, u"*100#");
  TapOk(ask);

  HWND menu = WaitForDialog(u"USSD", KKvIdUssdPrompt, u"Answer:");
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(menu, KKvIdUssdText)), u"1 Balance\r\n2 Bundles");
  EXPECT_EQ(kvui::TextOf(kvui::FindById(menu, KKvIdUssdPrompt)), u"Answer:");
  TypeInto(menu, KKvIdUssdField, u"2");
  TapOk(menu);
  HWND next = WaitForDialog(u"USSD", KKvIdUssdText, u"1 Data\r\n2 Minutes");
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(next, KKvIdUssdText)), u"1 Data\r\n2 Minutes");
  Screenshot("ussd_menu");
  TypeInto(next, KKvIdUssdField, u"1");
  TapOk(next);
  EXPECT_EQ(FinishProgress(u"USSD ..."), u"USSD reply received");
  HWND reply = WaitForDialog(u"USSD", KKvIdUssdText, u"Data: 2 GB left");
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(kvui::TextOf(kvui::FindById(reply, KKvIdUssdText)), u"Data: 2 GB left");
  TapOk(reply);
  EXPECT_EQ(StopProgram(), 0);
}

}  // namespace
