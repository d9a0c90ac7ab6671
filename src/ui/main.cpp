// trevanto: turns a folder tree of Internet shortcuts into a framed HTML site.
#include <QApplication>

#include "osnova.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationDisplayName(QStringLiteral("Trevanto"));

  trevanto::ui::Osnova window;
  QApplication::setWindowIcon(window.windowIcon());
  window.Form_Load();
  window.show();
  const int status = QApplication::exec();
  return status != 0 ? status : window.exitCode();
}
