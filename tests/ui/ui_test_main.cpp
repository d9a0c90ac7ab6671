// SPDX-License-Identifier: MIT
// Window tests run on the offscreen platform unless the caller chose one, with a settings
// store of their own: never the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "message_box.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QTemporaryDir config;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
  QApplication application(argc, argv);
  trevanto::ui::MessageBox::setAnswerAutomatically(true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
