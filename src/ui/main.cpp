// SPDX-License-Identifier: MIT
// trevanto: turns a folder tree of Internet shortcuts into a framed HTML site.
#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QStringList>
#include <QTimer>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <optional>

#include "message_box.h"
#include "osnova.h"
#include "qt_texts.h"

namespace {

constexpr int kWrongUsage = 2;

const char kUsage[] =
    "Usage: trevanto [--help] [--version] [Qt options]\n"
    "Opens the window that turns the Internet shortcuts (*.url) in the subfolders of a source\n"
    "folder into a framed HTML site. The folders and options are kept in\n"
#ifdef _WIN32
    "%APPDATA%\\Trevanto\\Config.ini.\n"
#else
    "$XDG_CONFIG_HOME/Trevanto/Config.ini (normally ~/.config/Trevanto/Config.ini).\n"
#endif
    "\n"
    "  -h, --help     print this help and exit\n"
    "  -v, --version  print the version and exit\n"
    "\n"
    "Qt's own options (-platform, -style, -display ...) are accepted. Without a display the program\n"
    "starts only when its settings make it convert and close by itself.\n"
    "Exit status: 0 when closed normally, 1 when a run that closed the program failed, 2 on wrong\n"
    "usage or when it cannot run without a display.\n";

// Options the Qt application takes out of the command line itself. They are known here so that
// the command line can be checked before the application (and its display) exists.
void acceptQtOptions(QCommandLineParser& parser) {
  const char* const withValue[] = {
      "platform", "platformpluginpath", "platformtheme", "plugin",     "qwindowgeometry", "qwindowtitle", "qwindowicon",
      "session",  "qmljsdebugger",      "style",         "stylesheet", "display",         "name"};
  const char* const flags[] = {"reverse", "widgetcount", "testability", "nograb", "dograb"};
  for (const char* name : withValue) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : flags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

// What the command line asks of Qt's display: the platform and whether an X display is named.
struct DisplayOptions {
  QString platform;
  bool displayNamed = false;
};

// Handles --help, --version and wrong usage without opening a window or reading the settings.
// Returns the exit code when the program is to end here.
std::optional<int> handleCommandLine(int argc, char** argv, DisplayOptions& display) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  QCommandLineParser parser;
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
  parser.addOption(help);
  parser.addOption(version);
  acceptQtOptions(parser);

  // Wrong usage as every program of the package says it: "trevanto: MESSAGE", then the usage.
  const auto usageError = [](const QString& message) {
    std::fprintf(stderr, "trevanto: %s\n%s", message.toLocal8Bit().constData(), kUsage);
    return kWrongUsage;
  };
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    if (unknown.isEmpty()) return usageError(parser.errorText());
    // The option as it was typed, dashes and all.
    QString typed = unknown.front();
    for (const QString& argument : arguments.mid(1)) {
      if (argument.startsWith(QLatin1Char('-')) && argument.section(QLatin1Char('='), 0, 0).endsWith(QLatin1Char('-') + typed)) {
        typed = argument.section(QLatin1Char('='), 0, 0);
        break;
      }
    }
    return usageError(QStringLiteral("unknown option ") + typed);
  }
  if (!parser.positionalArguments().isEmpty()) {
    return usageError(QStringLiteral("takes no arguments: ") + parser.positionalArguments().join(QLatin1Char(' ')));
  }
  if (parser.isSet(help)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (parser.isSet(version)) {
    std::fputs("trevanto " TREVANTO_VERSION "\n", stdout);
    return 0;
  }
  display.platform = parser.value(QStringLiteral("platform"));
  display.displayNamed = !parser.value(QStringLiteral("display")).isEmpty();
  return std::nullopt;
}

// Decided before the application exists, since Qt ends the program (with a core dump) when the
// display it is to use cannot be had. With no display at all the program starts without a
// screen, where it goes on only when its settings make it convert and close by itself. Returns
// why it cannot start, or nothing.
std::optional<QString> chooseDisplay(const DisplayOptions& options) {
  QString platform = options.platform;
  if (platform.isEmpty()) platform = qEnvironmentVariable("QT_QPA_PLATFORM");
  const bool x11 = options.displayNamed || !qEnvironmentVariableIsEmpty("DISPLAY");
  if (platform.isEmpty()) {
    if (!x11 && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::nullopt;
  }
  // X alone ("xcb", or with its options after a colon) needs a display named; of a list of
  // platforms ("wayland;xcb") Qt tries each in turn.
  if (platform.section(QLatin1Char(':'), 0, 0) == QLatin1String("xcb") && !x11)
    return QStringLiteral("нет экрана: платформа xcb, а переменная DISPLAY не задана");
  return std::nullopt;
}

// Ends the program once the main window is hidden and no other window of it is shown. Qt's own
// rule ends it when the last window closes; a main window the system had not shown yet when a
// run closed the program is hidden instead of closed (Osnova::Command2_Click), which that rule
// does not see: the program would run on with nothing on the screen.
class QuitWhenNothingShown : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      QTimer::singleShot(0, this, [] {
        const QList<QWidget*> windows = QApplication::topLevelWidgets();
        const bool shown = std::any_of(windows.cbegin(), windows.cend(), [](const QWidget* w) { return w->isVisible(); });
        if (!shown) QCoreApplication::quit();
      });
    }
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  // Messages in the user's language, the reasons the system gives included.
  std::setlocale(LC_ALL, "");
  DisplayOptions display;
  if (const std::optional<int> exitCode = handleCommandLine(argc, argv, display)) return *exitCode;
  if (const std::optional<QString> reason = chooseDisplay(display)) {
    std::fprintf(stderr, "trevanto: %s\n", reason->toLocal8Bit().constData());
    return kWrongUsage;
  }

  QApplication application(argc, argv);
  trevanto::ui::installQtTexts();

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
  QuitWhenNothingShown quitWhenNothingShown;
  window.installEventFilter(&quitWhenNothingShown);
  window.show();
  const int status = QApplication::exec();
  return status != 0 ? status : window.exitCode();
}
