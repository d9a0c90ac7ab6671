// SPDX-License-Identifier: MIT
#include "message_box.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <cstdio>
#include <utility>

#include "program.h"

namespace trevanto::ui {
namespace {

struct TestAnswers {
  bool on = false;
  bool yes = true;
  QStringList shown;
};

TestAnswers& testAnswers() {
  static TestAnswers answers;
  return answers;
}

}  // namespace

bool hasNoDisplay() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void MessageBox::information(QWidget* parent, const QString& text) { show(parent, text, false); }

void MessageBox::failure(QWidget* parent, const QString& text) { show(parent, text, true); }

void MessageBox::setAnswerAutomatically(bool on) { testAnswers().on = on; }

void MessageBox::setQuestionAnswer(bool yes) { testAnswers().yes = yes; }

bool MessageBox::question(QWidget* parent, const QString& text) {
  if (testAnswers().on) {
    testAnswers().shown.append(text);
    return testAnswers().yes;
  }
  if (hasNoDisplay()) {
    std::fprintf(stderr, "trevanto: %s (нет)\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    return false;
  }
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramName), text, QMessageBox::Yes | QMessageBox::No,
                  parent);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
  box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

QStringList MessageBox::takeShown() { return std::exchange(testAnswers().shown, {}); }

void MessageBox::show(QWidget* parent, const QString& text, bool isFailure) {
  if (testAnswers().on) {
    testAnswers().shown.append(text);
    return;
  }
  // Lines of the statistics are joined by LF CR; drawn as they are, the CR would add an empty
  // line after each, and a terminal wants LF alone.
  QString lines = text;
  lines.replace(QLatin1String("\n\r"), QLatin1String("\n"));
  if (hasNoDisplay()) {
    std::fprintf(stderr, "trevanto: %s\n", lines.toLocal8Bit().constData());
    std::fflush(stderr);
    return;
  }
  QMessageBox box(isFailure ? QMessageBox::Warning : QMessageBox::NoIcon, QString::fromLatin1(kProgramName), lines,
                  QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setIcon(QIcon());
  box.exec();
}

}  // namespace trevanto::ui
