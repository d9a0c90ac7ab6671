// SPDX-License-Identifier: MIT
// Every message the program shows goes through here, so that tests can answer the boxes and
// read what they said, and so that a run with no display (cron, the offscreen platform)
// writes its messages to the error stream instead of waiting for a click that never comes.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace trevanto::ui {

// True on platforms that draw nowhere a person could see (offscreen, minimal).
bool hasNoDisplay();

class MessageBox {
 public:
  // A box with the OK button only, no icon and the program's title; waits until dismissed.
  static void information(QWidget* parent, const QString& text);
  // A failure: names what failed and why; also OK only, waits until dismissed.
  static void failure(QWidget* parent, const QString& text);

  // A question with "Да" and "Нет"; true for "Да". With no display nobody could answer: the
  // question is written to the error stream and taken as "Нет".
  static bool question(QWidget* parent, const QString& text);

  // Tests: when on, no box is shown; each is answered with OK at once (a question with
  // questionAnswer) and its text kept.
  static void setAnswerAutomatically(bool on);
  static void setQuestionAnswer(bool yes);
  static QStringList takeShown();

 private:
  static void show(QWidget* parent, const QString& text, bool isFailure);
};

}  // namespace trevanto::ui
