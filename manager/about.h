#pragma once
// The About box: the product's title and version, its logo and a link to its web site.
#include <functional>
#include <string>

#include "controls/qblogo.h"
#include "manager/shelllaunch.h"
#include "toolkit/win_form.h"

// The product title and version the About box shows.
inline constexpr const char* QbVersionTitle = "Quillbank 2.0";

class TAboutForm : public tk::TForm {
 public:
  TAboutForm();

  tk::TLabel lblQbVerTitle;
  g32::TQbLogoFrame QbLogoFrame1;
  tk::TLabel lblWWW;
  tk::TButton btnOK;

  // The main window's web-site action; opens the web address unless replaced.
  std::function<void()> OnWebSite = OpenWebSite;

  void FormCreate();
  void FormKeyDown(WORD& key, tk::TShiftState shift);
  void lblWWWClick();
};
