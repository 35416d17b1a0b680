
namespace {

TEST(HoverHints, AToolButtonsHintShowsInTheShadowedWindowAfterThePause) {
  g32::InitHintShadow();
  tk::EnableHoverHints({.HintPause = 100, .HintHidePause = 1500, .HintShortCuts = true});
  TActionForm form;
  form.run->Hint = "Run Profiles";
  form.Show();
  SetForegroundWindow(form.Handle());
  Pump();
  RECT r = form.runButton->BoundsRect();
  MapWindowPoints(form.bar.Handle(), HWND_DESKTOP, reinterpret_cast<POINT*>(&r), 2);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_TRUE(tk::Application.ProcessUntil([] { return !tk::ShownHoverHint().empty(); }, 3000));
  EXPECT_EQ(tk::ShownHoverHint(), "Run Profiles (Ctrl+R)");
  HWND window = FindWindowW(L"TShadowedHintWindow", nullptr);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  // It goes after the hide pause and stays away while the pointer rests.
  EXPECT_TRUE(tk::Application.ProcessUntil([] { return tk::ShownHoverHint().empty(); }, 4000));
  Pump(400);
  EXPECT_EQ(tk::ShownHoverHint(), "");
  // Away from the bar: nothing.
  SetCursorPos(r.left, r.bottom + 60);
  Pump(400);
  EXPECT_EQ(tk::ShownHoverHint(), "");
  form.Hide();
}

}  // namespace
