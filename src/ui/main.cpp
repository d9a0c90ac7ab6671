// SPDX-License-Identifier: MIT
// trevanto: turns a folder tree of Internet shortcuts into a framed HTML site.
#include <QApplication>
#include <clocale>
#include <cstdio>

#include "message_box.h"
#include "osnova.h"

int main(int argc, char** argv) {
  // Messages in the user's language, the reasons the system gives included.
  std::setlocale(LC_ALL, "");
  QApplication application(argc, argv);

  trevanto::ui::Osnova window;
  QApplication::setWindowIcon(window.windowIcon());
  window.Form_Load();
  // With no display nobody could press a button or close the window: go on only when the
  // program will convert and end by itself.
  if (trevanto::ui::hasNoDisplay() && !window.runsUnattended()) {
    std::fputs(
        "trevanto: без экрана программа работает только сама: в настройках нужны CHECK1 = 1 и CHECK2 = 1, "
        "а сохранённые папки и диски должны быть доступны\n",
        stderr);
    return 2;
  }
  window.show();
  const int status = QApplication::exec();
  return status != 0 ? status : window.exitCode();
}
