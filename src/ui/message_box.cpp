#include "message_box.h"

#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <utility>

namespace trevanto::ui {
namespace {

struct TestAnswers {
  bool on = false;
  QStringList shown;
};

TestAnswers& testAnswers() {
  static TestAnswers answers;
  return answers;
}

// Platforms that draw nowhere a person could see.
bool hasNoDisplay() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

}  // namespace

void MessageBox::information(QWidget* parent, const QString& text) { show(parent, text, false); }

void MessageBox::failure(QWidget* parent, const QString& text) { show(parent, text, true); }

void MessageBox::setAnswerAutomatically(bool on) { testAnswers().on = on; }

QStringList MessageBox::takeShown() { return std::exchange(testAnswers().shown, {}); }

void MessageBox::show(QWidget* parent, const QString& text, bool isFailure) {
  if (testAnswers().on) {
    testAnswers().shown.append(text);
    return;
  }
  if (hasNoDisplay()) {
    // Lines of the statistics are joined by LF CR; a terminal wants LF alone.
    QString plain = text;
    plain.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    std::fprintf(stderr, "trevanto: %s\n", plain.toLocal8Bit().constData());
    std::fflush(stderr);
    return;
  }
  QMessageBox box(isFailure ? QMessageBox::Warning : QMessageBox::NoIcon, QStringLiteral("Trevanto"), text,
                  QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace trevanto::ui
